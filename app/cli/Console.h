#pragma once
// The terminal as dorvil-cli's front end: log lines to standard output as
// they are added, message-box texts to standard error, both in UTF-8, and a
// progress line on standard error when it is a terminal. The preferences
// and the move folder stay as start-up read them, as if nobody touched the
// window's controls.

#include "ProgressLine.h"

#include "app/FrontEnd.h"

#include "platform/UserInterface.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace app {

class Console : public FrontEnd, public platform::UserInterface {
public:
    Console(std::ostream &out, std::ostream &err, bool errIsTerminal);

    /// The check whose progress the line shows from now on; empty: none.
    void StartCheck(const std::string &name);
    /// Called when an interrupt asks to stop, as the Stop button would be.
    void SetStopHandler(std::function<void()> stop) { m_stop = std::move(stop); }
    /// The signal that asked the run to stop; 0: none did.
    int InterruptSignal() const { return m_interruptSignal; }

    // FrontEnd
    void AddLine(std::string_view text) override;
    void SetProgress(int percent) override;
    void SetBusy(bool) override {}
    reconcile::Preferences CurrentPreferences() override { return m_preferences; }
    std::string MoveToText() override { return m_moveTo; }
    void ShowSettings(const reconcile::Preferences &preferences,
                      const std::string &moveTo) override;
    std::vector<std::string> LogLines() override { return m_lines; }

    // platform::UserInterface
    int messageBox(std::string_view text, std::string_view caption, unsigned flags) override;
    void showMessage(std::string_view text) override;
    void showError(std::string_view text) override;
    std::optional<std::string> chooseFolder(std::string_view, std::string_view) override
    {
        return std::nullopt;
    }
    /// The only events a console has: interrupts asking to stop.
    void processEvents() override;
    void setBusyCursor(bool) override {}
    void requestQuit() override {}

private:
    void writeMessage(std::string_view text);

    std::ostream &m_out;
    std::ostream &m_err;
    ProgressLine m_progress;
    reconcile::Preferences m_preferences;
    std::string m_moveTo;
    std::vector<std::string> m_lines;
    std::function<void()> m_stop;
    int m_interruptSignal = 0;
};

} // namespace app
