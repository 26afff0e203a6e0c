// Starting programs and opening documents.
#include "platform/posix/posix_platform.h"

namespace spylerom::platform {

void PosixPlatform::launch(const std::string&, const std::string&, const std::string&) {}

} // namespace spylerom::platform
