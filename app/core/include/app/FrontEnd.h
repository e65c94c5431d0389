#pragma once
// What the program's core asks of a front end beyond what a check asks: to
// show the settings start-up has read, and to hand over the log for saving.
// The window implements it with its widgets, dorvil-cli with a terminal.

#include "reconcile/Run.h"

#include <string>
#include <vector>

namespace app {

class FrontEnd : public reconcile::FrontEnd {
public:
    /// Shows the preferences and the move folder start-up has read; from
    /// then on CurrentPreferences() and MoveToText() answer from what the
    /// user sees.
    virtual void ShowSettings(const reconcile::Preferences &preferences,
                              const std::string &moveTo) = 0;
    /// The log as it stands, one text per line (the user may have edited it).
    virtual std::vector<std::string> LogLines() = 0;
};

} // namespace app
