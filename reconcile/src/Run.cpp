#include "reconcile/Run.h"

#include "reconcile/MoveJournal.h"
#include "reconcile/RunReport.h"

#include "platform/UserInterface.h"

#include <algorithm>
#include <chrono>
#include <future>

namespace reconcile {
namespace {

class SystemClock : public Clock {
public:
    platform::DateTime now() const override { return platform::localNow(); }
};

} // namespace

const Clock &systemClock()
{
    static const SystemClock clock;
    return clock;
}

std::string RunHeaderTime(const platform::DateTime &when)
{
    std::string line = platform::formatDate(when);
    if (when.hour != 0 || when.minute != 0 || when.second != 0)
        line += " " + platform::formatTime(when);
    return line;
}

void Run::RunHeader(std::string_view title) const
{
    state.RunStart = clock.now();
    state.Journal.reset();  // each run keeps a journal of its own
    state.BackedUp = false; // and makes a backup of its own
    AddLine("");
    AddLine(title);
    AddLine(RunHeaderTime(state.RunStart));
}

void Run::SetProgress(int percent) const
{
    frontEnd.SetProgress(std::clamp(percent, 0, 100));
}

ReportCheck *Run::Reported() const
{
    return state.Report && !state.Report->checks.empty() ? &state.Report->checks.back() : nullptr;
}

void Run::ProcessEvents() const
{
    platform::userInterface().processEvents();
}

void Run::ProcessEventsDuring(const std::function<void()> &work) const
{
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        ProcessEvents();
    done.get();
}

int PassProgress(int64_t done, int32_t bookCount, int passBase)
{
    if (bookCount <= 0)
        return passBase + 50;
    const int64_t scaled = done * 50;
    int64_t quotient = scaled / bookCount;
    const int64_t twiceRemainder = 2 * (scaled % bookCount);
    if (twiceRemainder > bookCount || (twiceRemainder == bookCount && quotient % 2 != 0))
        ++quotient;
    return static_cast<int>(std::min<int64_t>(quotient, 1000)) + passBase;
}

} // namespace reconcile
