// How long one paint of the preview takes with the test page at zoom 5, against an empty paint
// of the same window (the layout and the painter, no page): every paint lays out and draws the
// whole page, so this is the cost a user pays at every scroll, resize and menu command.
#include "frame/settings.h"
#include "printing/page_state.h"
#include "printing/test_page.h"
#include "printing/ui/print_form.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace spylerom;

namespace {

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Milliseconds of one synchronous repaint of the page area with the given page routine.
double paintMs(printing::TPrintForm& form, const printing::PageRoutine& routine) {
    printing::pageState().PageDrawRoutine = routine;
    QElapsedTimer timer;
    timer.start();
    form.PaintBox->repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    frame::settingsState().ActiveSettings = std::make_unique<frame::IniDocument>("/nonexistent/solvarek.ini");

    printing::TPrintForm form;
    printing::pageState().Zoom = 5;
    form.ShowPreview();
    form.resize(1050, 1485); // the whole page area visible
    QApplication::processEvents();

    const printing::PageRoutine emptyPage = [] {};
    for (int i = 0; i < 5; ++i) // fonts and caches warm
        paintMs(form, printing::TestPage);
    // Interleaved, so a busy machine slows both alike.
    std::vector<double> pageTimes, emptyTimes;
    for (int i = 0; i < rounds; ++i) {
        pageTimes.push_back(paintMs(form, printing::TestPage));
        emptyTimes.push_back(paintMs(form, emptyPage));
    }
    const double page = median(pageTimes);
    const double empty = median(emptyTimes);

    const double frameMs = 1000.0 / 60;
    std::printf("paint of the test page at zoom 5: %.3f ms (median of %d)\n", page, rounds);
    std::printf("empty paint of the same window:   %.3f ms\n", empty);
    std::printf("ratio test page / empty paint:    %.1f\n", page / empty);
    std::printf("share of a 60 Hz frame:           %.0f %%\n", 100 * page / frameMs);
    return page < frameMs ? 0 : 1;
}
