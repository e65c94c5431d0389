#pragma once
// A library manager folder and a system temporary folder of the test's own,
// with the user interface answered by a recording double.

#include "RecordingUserInterface.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

class AppFixture : public testing::Test {
protected:
    AppFixture() : m_ui(m_recorder)
    {
        if (const char *saved = std::getenv("TMPDIR"))
            m_savedTmpdir = saved;
        setenv("TMPDIR", (m_root.native() / "systemp").c_str(), 1);
    }
    ~AppFixture() override
    {
        if (m_savedTmpdir)
            setenv("TMPDIR", m_savedTmpdir->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    /// The program folder, as the program sees it.
    std::string programDir() const { return m_root.program("manager\\"); }
    void writeSetting(const char *file, const std::string &content) const
    {
        m_root.write(std::string("manager/") + file, content);
    }
    std::string tempDir() const { return m_root.program("systemp\\Dorvil\\"); }

    testing_support::TempFolder m_root;
    testing_support::RecordingUserInterface m_recorder;

private:
    platform::ScopedUserInterface m_ui;
    std::optional<std::string> m_savedTmpdir;
};
