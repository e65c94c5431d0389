#pragma once
// The one-line progress display of dorvil-cli on a terminal: the running
// check, how far it is and an estimate of the time left, rewritten in place.

#include <chrono>
#include <ostream>
#include <string>

namespace app {

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    /// Draws nothing unless `terminal`.
    ProgressLine(std::ostream &out, bool terminal) : m_out(out), m_terminal(terminal) {}

    void start(std::string check, Clock::time_point now = Clock::now());
    void setPercent(int percent, Clock::time_point now = Clock::now());
    /// A line of the log was added: counted while no percentage is known.
    void addItem(Clock::time_point now = Clock::now());
    /// Removes the line, so that other output starts on a clean line.
    void clear();
    /// Draws the line again after other output, as it last read.
    void redraw();
    /// The check has ended: the line goes for good.
    void finish();

    /// The text of the line, without control characters.
    std::string text(Clock::time_point now) const;

private:
    void draw(Clock::time_point now, bool force);

    std::ostream &m_out;
    bool m_terminal;
    bool m_shown = false;
    std::string m_check;
    Clock::time_point m_started;
    Clock::time_point m_drawn;
    int m_percent = -1;
    long m_items = 0;
    std::string m_lastText;
};

} // namespace app
