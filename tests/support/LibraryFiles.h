#pragma once
// Book files for library tests: FB2 documents, ZIP archives made by the zip
// tool, and the contents of a tree for the nothing-lost comparison.

#include "FileContents.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct ArchiveEntry {
    std::string name; ///< path inside the archive, UTF-8, "/" between folders
    std::string content;
    bool readOnly = false;
};

/// An FB2 document whose id element holds `id`.
inline std::string fb2Document(std::string_view id)
{
    return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
           "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">\r\n"
           "<description><document-info>\r\n"
           "<id>" +
           std::string(id) +
           "</id>\r\n"
           "</document-info></description>\r\n"
           "<body><p>text</p></body></FictionBook>\r\n";
}

inline std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/// Writes a ZIP archive with the zip tool (entries deflated, or stored when
/// `stored`). Fails the test when the tool fails.
inline void writeZip(const std::filesystem::path &archive, const std::vector<ArchiveEntry> &entries,
                     bool stored = false)
{
    namespace fs = std::filesystem;
    TempFolder staging;
    std::string names;
    for (const ArchiveEntry &entry : entries) {
        const fs::path file = staging.write(entry.name, entry.content);
        if (entry.readOnly)
            fs::permissions(file,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        names += " " + shellQuoted(entry.name);
    }
    fs::create_directories(archive.parent_path());
    const std::string command = "cd " + shellQuoted(staging.native().string()) + " && zip -q -X " +
                                (stored ? "-0 " : "") + shellQuoted(archive.string()) + names;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

/// A text as a JSON string holds it between its quotes (backslashes and
/// quotes escaped).
inline std::string jsonEscaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

/// Whether a file is the journal a run keeps of its moves in the move folder.
inline bool isMoveJournal(const std::filesystem::path &file)
{
    return file.filename().string().starts_with("Dorvil-moves ");
}

/// The contents of every regular file below the folders (links are not
/// followed, move journals left out), as a multiset: a lost or duplicated
/// file changes it.
inline std::multiset<std::string> fileContents(std::initializer_list<std::filesystem::path> folders)
{
    namespace fs = std::filesystem;
    std::multiset<std::string> contents;
    for (const fs::path &folder : folders)
        for (const auto &entry : fs::recursive_directory_iterator(
                 folder, fs::directory_options::skip_permission_denied))
            if (entry.symlink_status().type() == fs::file_type::regular &&
                !isMoveJournal(entry.path()))
                contents.insert(readFile(entry.path()));
    return contents;
}

} // namespace testing_support
