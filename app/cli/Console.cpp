#include "Console.h"

#include "db/Strings.h"
#include "platform/Terminal.h"
#include "platform/Text.h"

#include <ostream>

namespace app {

Console::Console(std::ostream &out, std::ostream &err, bool errIsTerminal)
    : m_out(out), m_err(err), m_progress(err, errIsTerminal)
{
}

void Console::StartCheck(const std::string &name)
{
    if (name.empty())
        m_progress.finish();
    else
        m_progress.start(name);
}

void Console::AddLine(std::string_view text)
{
    std::vector<std::string> lines =
        text.empty() ? std::vector<std::string>{""} : db::SplitLines(text);
    m_progress.clear();
    for (std::string &line : lines) {
        m_out << platform::ansiToUtf8(line) << '\n';
        m_lines.push_back(std::move(line));
        m_progress.addItem();
    }
    // A reader of the pipe sees each line as the run makes it.
    m_out.flush();
    m_progress.redraw();
}

void Console::processEvents()
{
    // Asked after every row and file of the comparison: a plain read first.
    if (!platform::interruptRequested())
        return;
    if (const int signal = platform::takeInterruptRequest()) {
        m_interruptSignal = signal;
        if (m_stop)
            m_stop();
    }
}

void Console::SetProgress(int percent)
{
    m_progress.setPercent(percent);
}

void Console::ShowSettings(const reconcile::Preferences &preferences, const std::string &moveTo)
{
    m_preferences = preferences;
    m_moveTo = moveTo;
}

void Console::writeMessage(std::string_view text)
{
    m_progress.clear();
    m_out.flush();
    m_err << platform::ansiToUtf8(text) << std::endl;
    m_progress.redraw();
}

int Console::messageBox(std::string_view text, std::string_view, unsigned flags)
{
    writeMessage(text);
    return platform::firstButtonAnswer(flags);
}

void Console::showMessage(std::string_view text)
{
    writeMessage(text);
}

void Console::showError(std::string_view text)
{
    writeMessage(text);
}

} // namespace app
