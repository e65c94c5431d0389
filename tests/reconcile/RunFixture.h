#pragma once
// A run over a real library: a catalogue database made from the schema and
// opened by the program's own components, a library folder, a move folder
// and a temporary folder in a fresh test folder, with a recording front end
// and user interface.

#include "reconcile/ComponentSet.h"
#include "reconcile/Run.h"

#include "RecordingFrontEnd.h"
#include "RecordingUserInterface.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace reconcile_test {

/// UTF-8 text of the test source as the program holds it (code page 1251).
std::string ansi(std::string_view utf8);

class RunFixture : public testing::Test {
protected:
    RunFixture();
    void SetUp() override;

    /// Executes one statement through a statement of its own and commits
    /// (which closes the book dataset; openBooks() opens it again).
    void execute(const std::string &sql);
    /// One BOOK row; texts in UTF-8.
    void addBook(int bookId, std::string_view fileName, std::string_view oldId = "",
                 std::string_view bookName = "");
    void addLink(int id, int bookId, int autorId);
    /// Opens the book dataset, as start-up leaves it.
    void openBooks();
    /// A singleton integer query, in a transaction of its own.
    long long count(const std::string &sql);

    reconcile::Run run();

    /// The library root, the move folder and the temporary folder as
    /// program paths (ending in a backslash) and as native paths.
    std::string library() const { return m_root.program("library\\"); }
    std::string moved() const { return m_root.program("moved\\"); }
    std::filesystem::path nativeLibrary() const { return m_root.native() / "library"; }
    std::filesystem::path nativeMoved() const { return m_root.native() / "moved"; }

    testing_support::TempFolder m_root;
    db::TComponent m_form{nullptr, "Form1"};
    reconcile::ComponentSet m_components{m_form};
    reconcile::RunState m_state;
    testing_support::RecordingFrontEnd m_frontEnd;
    testing_support::FixedClock m_clock;
    testing_support::RecordingUserInterface m_ui;

private:
    platform::ScopedUserInterface m_scopedUi{m_ui};
};

} // namespace reconcile_test
