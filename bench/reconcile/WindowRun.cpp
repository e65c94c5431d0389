// One check through the window, offscreen, for the reconcile benchmarks: the
// program's own start-up (window shown), the button's handler, then the
// window closed as the user would close it. The benchmark's driver times the
// whole process; this program adds what only the inside can see: how long the
// click took and the longest stretch in which no events were processed.
//
//   bench_reconcile_window PROGRAMDIR CHECK LOGFILE
//
// CHECK is compare, duplicate-files or duplicate-links. The log pane's lines
// go to LOGFILE in UTF-8. Prints one line of name=value figures; exits 1 when
// start-up or the check failed.

#include "MainWindow.h"
#include "QtUserInterface.h"

#include "BenchTiming.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// The window's own user interface, with two changes a benchmark needs: each
// event-processing call is timed, and a message box is answered at once
// (its text goes to standard error) instead of waiting for a click.
class TimedUserInterface : public platform::UserInterface {
public:
    int messageBox(std::string_view text, std::string_view, unsigned flags) override
    {
        report(text);
        return platform::firstButtonAnswer(flags);
    }
    void showMessage(std::string_view text) override { report(text); }
    void showError(std::string_view text) override
    {
        report(text);
        ++m_errors;
    }
    std::optional<std::string> chooseFolder(std::string_view, std::string_view) override
    {
        return std::nullopt;
    }
    void processEvents() override
    {
        const Clock::time_point start = Clock::now();
        m_qt.processEvents();
        if (m_recording)
            m_calls.push_back({start, Clock::now()});
    }
    void setBusyCursor(bool busy) override { m_qt.setBusyCursor(busy); }
    void requestQuit() override { m_qt.requestQuit(); }

    void record(bool on) { m_recording = on; }
    int errors() const { return m_errors; }

    struct Call {
        Clock::time_point start;
        Clock::time_point end;
    };
    const std::vector<Call> &calls() const { return m_calls; }

private:
    static void report(std::string_view text)
    {
        std::fprintf(stderr, "message: %s\n", platform::ansiToUtf8(text).c_str());
    }

    app::QtUserInterface m_qt;
    bool m_recording = false;
    int m_errors = 0;
    std::vector<Call> m_calls;
};

bool runCheck(app::TForm1 &form, const std::string &check)
{
    if (check == "compare")
        return form.btnCompareClick();
    if (check == "duplicate-files")
        return form.btnDoubleSearchClick();
    if (check == "duplicate-links")
        return form.btnDoubleBookAutorRelClick();
    throw std::invalid_argument("unknown check " + check);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_reconcile_window PROGRAMDIR CHECK LOGFILE\n");
        return 2;
    }
    // No display here, and none is needed: the offscreen platform still runs
    // every widget, paint and event.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const Clock::time_point processStart = Clock::now();
    QApplication application(argc, argv);
    app::applyApplicationLook();
    TimedUserInterface ui;
    platform::ScopedUserInterface scopedUi(ui);
    bool ranToEnd = false;
    double startUp = 0;
    double click = 0;
    Clock::time_point clickStart;
    Clock::time_point clickEnd;
    {
        app::MainWindow window(argv[1]);
        startUp = bench::secondsOf([&] {
            window.show();
            QApplication::processEvents();
        });
        if (ui.errors() == 0) {
            ui.record(true);
            clickStart = Clock::now();
            ranToEnd = runCheck(window.form(), argv[2]);
            clickEnd = Clock::now();
            ui.record(false);
            click = secondsBetween(clickStart, clickEnd);
        }
        std::ofstream log(argv[3], std::ios::binary);
        for (const std::string &line : window.LogLines())
            log << platform::ansiToUtf8(line) << '\n';
        window.close();
    }

    // The longest stretch between the end of one event-processing call and
    // the start of the next, and the stretches before the first and after
    // the last call, in which the window cannot answer either.
    const std::vector<TimedUserInterface::Call> &calls = ui.calls();
    double maxGap = 0;
    size_t maxGapAfter = 0;
    for (size_t i = 1; i < calls.size(); ++i) {
        const double gap = secondsBetween(calls[i - 1].end, calls[i].start);
        if (gap > maxGap) {
            maxGap = gap;
            maxGapAfter = i;
        }
    }
    const double lead = calls.empty() ? click : secondsBetween(clickStart, calls.front().start);
    const double tail = calls.empty() ? 0 : secondsBetween(calls.back().end, clickEnd);
    std::printf("ok=%d startup=%.4f click=%.4f events=%zu max_gap=%.4f max_gap_after_call=%zu "
                "lead=%.4f tail=%.4f total_inside=%.4f\n",
                ranToEnd && ui.errors() == 0 ? 1 : 0, startUp, click, calls.size(), maxGap,
                maxGapAfter, lead, tail, secondsBetween(processStart, Clock::now()));
    return ranToEnd && ui.errors() == 0 ? 0 : 1;
}
