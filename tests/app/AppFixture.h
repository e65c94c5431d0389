#pragma once
// A library manager folder and a system temporary folder of the test's own,
// with the user interface answered by a recording double.

#include "RecordingFrontEnd.h"
#include "RecordingUserInterface.h"
#include "ScopedEnvironment.h"
#include "TempFolder.h"

#include "app/FrontEnd.h"

#include <gtest/gtest.h>

#include <string>

/// The program's front end as a recorder: the settings start-up shows become
/// the answers, as the window's controls would.
class RecordingAppFrontEnd : public testing_support::BasicRecordingFrontEnd<app::FrontEnd> {
public:
    void ShowSettings(const reconcile::Preferences &shownPreferences,
                      const std::string &moveTo) override
    {
        preferences = shownPreferences;
        moveToText = moveTo;
        settingsShown = true;
    }
    std::vector<std::string> LogLines() override { return lines; }

    bool settingsShown = false;
};

class AppFixture : public testing::Test {
protected:
    AppFixture() : m_ui(m_recorder) {}

    /// The program folder, as the program sees it.
    std::string programDir() const { return m_root.program("manager\\"); }
    void writeSetting(const char *file, const std::string &content) const
    {
        m_root.write(std::string("manager/") + file, content);
    }
    std::string tempDir() const { return m_root.program("systemp\\Dorvil\\"); }

    testing_support::TempFolder m_root;
    testing_support::RecordingUserInterface m_recorder;
    RecordingAppFrontEnd m_frontEnd;

private:
    platform::ScopedUserInterface m_ui;
    testing_support::ScopedEnvironment m_tmpdir{"TMPDIR", (m_root.native() / "systemp").string()};
};
