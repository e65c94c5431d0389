#pragma once
// What the demo library holds: the catalogue's rows and the files of the
// library folder, planned together so that every kind of finding the checks
// make is there a few times. Texts are UTF-8 here; paths are relative to the
// library root and use backslashes, as FILENAME holds them.

#include <optional>
#include <string>
#include <vector>

namespace demo {

struct Author {
    int id = 0;
    std::string lastName, firstName, middleName;
};

struct BookRecord {
    int bookId = 0;
    std::string fileName;
    std::string title;
    std::string lang; ///< "ru" or "en"
    std::string genre;
    std::vector<int> authors;
    std::string autorList; ///< the authors' names, as AUTORLIST shows them
    std::string oldId;     ///< empty for a record that never got one
    /// The size of the record's file, when the library holds it.
    std::optional<long long> fileSize;
};

struct LibraryFile {
    std::string path;
    std::string bytes;
};

struct AuthorLink {
    int id = 0;
    int bookId = 0;
    int autorId = 0;
};

struct DemoContent {
    std::vector<Author> authors;
    std::vector<BookRecord> books;
    std::vector<AuthorLink> links;
    std::vector<LibraryFile> files;
    std::vector<std::string> emptyFolders; ///< ending in a backslash
};

/// The same content on every call.
DemoContent makeDemoContent();

} // namespace demo
