#pragma once
// A library manager's folder as the program finds it: bokvarddb.ini naming a
// catalogue database (made by isql from the schema, with the rows a test
// gives) and a library root, Dorvil.ini, a move folder, and a system
// temporary folder of the test's own.

#include "ScopedEnvironment.h"
#include "TempFolder.h"
#include "TestDatabase.h"

#include "platform/Text.h"

#include <filesystem>
#include <string>

namespace testing_support {

class ProgramFolder {
public:
    /// `catalogueSql` (UTF-8) runs after the schema; `ownSettings` (UTF-8,
    /// without section) goes into Dorvil.ini's [Compare] section after
    /// MoveTo, which names the move folder.
    explicit ProgramFolder(const std::string &catalogueSql = {}, int workMode = 1,
                           const std::string &ownSettings = {})
    {
        std::filesystem::create_directories(native("library"));
        std::filesystem::create_directories(native("moved"));
        std::filesystem::create_directories(native("manager"));
        std::filesystem::create_directories(native("systemp"));
        failure =
            makeDatabase(native("catalogue.fdb"), 3, true, platform::utf8ToAnsi(catalogueSql));
        writeManagerSettings(workMode);
        m_root.write("manager/Dorvil.ini",
                     platform::utf8ToAnsi("[Compare]\r\nMoveTo=" + m_root.program("moved") +
                                          "\r\nUserName=SYSDBA\r\nPassword=testpass\r\n" +
                                          ownSettings));
    }

    void writeManagerSettings(int workMode, const std::string &database = {}) const
    {
        m_root.write("manager/bokvarddb.ini",
                     "[Common]\r\nDataBaseFile=" +
                         (database.empty() ? native("catalogue.fdb").string() : database) +
                         "\r\nMountPoint=" + m_root.program("library") +
                         "\r\nWorkMode=" + std::to_string(workMode) + "\r\n");
    }

    std::filesystem::path native(const std::string &relativeUtf8 = {}) const
    {
        return relativeUtf8.empty() ? m_root.native() : m_root.native() / relativeUtf8;
    }
    std::string programDir() const { return m_root.program("manager\\"); }
    /// Writes a file below the test folder (UTF-8 path).
    void write(const std::string &relativeUtf8, const std::string &content = "x") const
    {
        m_root.write(relativeUtf8, content);
    }

    /// Empty when the catalogue was made, else isql's complaint.
    std::string failure;

private:
    TempFolder m_root;
    ScopedEnvironment m_tmpdir{"TMPDIR", (m_root.native() / "systemp").string()};
};

} // namespace testing_support
