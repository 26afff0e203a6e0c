#include "printing/page_state.h"

#include "printing/page_arithmetic.h"
#include "printing/test_page.h"

namespace spylerom::printing {

namespace {

PageState startState() {
    PageState s;
    s.PageDrawRoutine = TestPage;
    s.PageClickRoutine = [](MouseButton, ShiftState, std::int32_t, std::int32_t) {
        if (pageState().View)
            pageState().View->beep();
    };
    return s;
}

PageState g_state = startState();

} // namespace

PageState& pageState() {
    return g_state;
}

void ResetPageState() {
    g_state = startState();
}

DrawingSurface& currentSurface() {
    if (!g_state.Surface)
        throw PageError("Ingen tegneflate for utskriften");
    return *g_state.Surface;
}

} // namespace spylerom::printing
