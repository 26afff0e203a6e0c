#include "fill/fill_state.h"

namespace spylerom::fill {

namespace {
FillState g_state;
}

FillState& fillState() {
    return g_state;
}

void ResetFillState() {
    g_state = FillState{};
}

} // namespace spylerom::fill
