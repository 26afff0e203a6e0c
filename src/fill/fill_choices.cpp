#include "fill/fill_choices.h"

#include "frame/settings.h"

namespace spylerom::fill {

Pattern PatternAt(int index) {
    return index >= 0 && index < static_cast<int>(kPatternNames.size()) ? static_cast<Pattern>(index)
                                                                        : Pattern::Unchanged;
}

std::int32_t BlockSizeAt(int index) {
    return index >= 0 && index < static_cast<int>(kBlockChoices.size())
               ? kBlockChoices[static_cast<std::size_t>(index)].bytes
               : static_cast<std::int32_t>(kPatternSize);
}

bool TrimEtterFylling() {
    return frame::ReadSettingFlag("STANDARD", "TrimEtterFylling", true);
}

} // namespace spylerom::fill
