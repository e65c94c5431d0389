#pragma once
// A front end double for the checks: records the log, the progress values
// and the busy changes, and answers with preferences and an edit-box text
// the test sets.

#include "reconcile/Run.h"

#include "db/Strings.h"

#include <string>
#include <vector>

namespace testing_support {

/// `Interface` is the check's front end or one that extends it.
template <typename Interface> class BasicRecordingFrontEnd : public Interface {
public:
    void AddLine(std::string_view text) override
    {
        if (text.empty()) {
            lines.emplace_back();
            return;
        }
        for (std::string &line : db::SplitLines(text))
            lines.push_back(std::move(line));
    }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }
    reconcile::Preferences CurrentPreferences() override { return preferences; }
    std::string MoveToText() override { return moveToText; }

    reconcile::Preferences preferences;
    std::string moveToText;

    std::vector<std::string> lines;
    std::vector<int> progress;
    std::vector<bool> busyChanges;
};

using RecordingFrontEnd = BasicRecordingFrontEnd<reconcile::FrontEnd>;

/// A clock that tells the time the test set.
class FixedClock : public reconcile::Clock {
public:
    platform::DateTime now() const override { return time; }
    platform::DateTime time{2026, 12, 10, 14, 5, 9, 0};
};

} // namespace testing_support
