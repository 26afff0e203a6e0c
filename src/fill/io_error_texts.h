// The Norwegian texts of operating-system error codes 1..216, shown after a failed file creation.
#pragma once

#include <string>

namespace spylerom::fill {

// The text of code 1..216 (empty for the codes the program never meets); empty outside.
std::string IoErrorTexts(unsigned code);

} // namespace spylerom::fill
