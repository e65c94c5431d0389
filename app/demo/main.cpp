// dorvil-demo: makes a demo library to try the program on, a library
// manager's folder with a small catalogue and a library folder that holds a
// few of every finding the checks make, the same every time.

#include "Catalogue.h"
#include "DemoContent.h"

#include "db/FbErrors.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char *const kUsage = "usage: dorvil-demo [--replace] FOLDER\n"
                           "       dorvil-demo --counts FOLDER\n"
                           "Makes a fresh demo library in FOLDER, which must be missing or empty;\n"
                           "--replace first deletes a demo library made there before (and\n"
                           "nothing else). --counts prints how many rows BOOK and BOOK_AUTOR of\n"
                           "the demo's catalogue hold.\n";

// Only a folder that holds this file with this text is ever deleted.
const char *const kMarkerName = ".dorvil-demo";
const char *const kMarkerText =
    "This folder is a Dorvil demo library: dorvil-demo --replace deletes it.\n";

struct Options {
    bool replace = false;
    bool counts = false;
    bool help = false;
    std::string folder;
};

class UsageError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

Options parse(const std::vector<std::string> &arguments)
{
    Options options;
    bool folderGiven = false;
    for (const std::string &argument : arguments) {
        if (argument == "--replace") {
            options.replace = true;
        } else if (argument == "--counts") {
            options.counts = true;
        } else if (argument == "--help") {
            options.help = true;
        } else if (argument.starts_with("-") || folderGiven) {
            throw UsageError("unexpected argument " + argument);
        } else {
            options.folder = argument;
            folderGiven = true;
        }
    }
    if (options.help)
        return options;
    if (!folderGiven || options.folder.empty())
        throw UsageError("no FOLDER given");
    if (options.replace && options.counts)
        throw UsageError("--replace and --counts do not go together");
    return options;
}

fs::path absoluteFolder(const std::string &folder)
{
    fs::path path = fs::absolute(fs::path(folder)).lexically_normal();
    if (path.filename().empty() && path.has_parent_path() && path != path.root_path())
        path = path.parent_path();
    return path;
}

void writeFile(const fs::path &path, const std::string &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

bool carriesMarker(const fs::path &folder)
{
    const fs::path marker = folder / kMarkerName;
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(marker, error)))
        return false;
    const std::optional<std::string> text = platform::readWholeFile(platform::programPath(marker));
    return text && *text == kMarkerText;
}

// Leaves `folder` existing and empty, or refuses. Whatever is not a demo made
// here earlier is never deleted.
void prepareFolder(const fs::path &folder, bool replace)
{
    const fs::file_status status = fs::symlink_status(folder);
    if (!fs::exists(status)) {
        fs::create_directories(folder);
        return;
    }
    if (!fs::is_directory(fs::status(folder)))
        throw std::runtime_error(folder.string() + " exists and is not a folder");
    if (fs::is_empty(folder))
        return;
    if (!replace)
        throw std::runtime_error(folder.string() +
                                 " is not empty; give --replace to replace a demo library "
                                 "made there before");
    if (!carriesMarker(folder))
        throw std::runtime_error(folder.string() +
                                 " is not empty and is no demo library (it holds no " +
                                 kMarkerName + "); nothing was deleted");
    // The marker goes last, so a replacement that fails half-way can be
    // repeated.
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        if (entry.path().filename() != kMarkerName)
            fs::remove_all(entry.path());
    fs::remove(folder / kMarkerName);
}

fs::path nativeBelow(const fs::path &root, const std::string &relative)
{
    std::string path = relative;
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return root / fs::path(path);
}

// The settings files are written the way the library manager and the
// program write them: code page 1251, CR LF line ends.
void writeSettings(const fs::path &root, const fs::path &catalogue)
{
    const fs::path manager = root / "manager";
    writeFile(manager / "bokvarddb.ini",
              "[Common]\r\nDataBaseFile=" + catalogue.string() + "\r\nMountPoint=" +
                  platform::programPath(root / "library") + "\r\nWorkMode=1\r\n");
    writeFile(manager / "Dorvil.ini",
              "[Compare]\r\nMoveTo=" + platform::programPath(root / "moved") +
                  "\r\nMoveFiles=1\r\nMoveEmptyDir=1\r\nSaveStructure=1\r\nDelDoubleRec=1\r\n"
                  "IdNotFound=1\r\nMoveNotFound=1\r\nUserName=" +
                  demo::kUserName + "\r\nPassword=" + demo::kPassword + "\r\n");
}

void makeDemo(const fs::path &root, bool replace)
{
    // bokvarddb.ini holds the catalogue's path in code page 1251 and the
    // program hands it to the engine unchanged, so only a plain ASCII path
    // reaches the same file.
    for (unsigned char c : root.string())
        if (c >= 0x80)
            throw std::runtime_error("the demo needs a folder whose path is plain ASCII, not " +
                                     root.string());
    prepareFolder(root, replace);
    writeFile(root / kMarkerName, kMarkerText);

    const demo::DemoContent content = demo::makeDemoContent();
    const fs::path library = root / "library";
    fs::create_directories(library);
    for (const demo::LibraryFile &file : content.files)
        writeFile(nativeBelow(library, file.path), file.bytes);
    for (const std::string &folder : content.emptyFolders)
        fs::create_directories(nativeBelow(library, folder));
    fs::create_directories(root / "moved");

    const fs::path catalogue = root / "manager" / "catalogue.fdb";
    fs::create_directories(catalogue.parent_path());
    demo::makeCatalogue(catalogue.string(), content);
    writeSettings(root, catalogue);
}

void printCounts(const fs::path &root)
{
    const fs::path catalogue = root / "manager" / "catalogue.fdb";
    if (!fs::is_regular_file(catalogue))
        throw std::runtime_error("no demo catalogue at " + catalogue.string());
    const demo::CatalogueCounts counts = demo::countCatalogue(catalogue.string());
    std::cout << "BOOK " << counts.books << "\nBOOK_AUTOR " << counts.links << "\n";
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    try {
        options = parse({argv + 1, argv + argc});
    } catch (const UsageError &error) {
        std::cerr << "dorvil-demo: " << error.what() << '\n' << kUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    const fs::path root = absoluteFolder(options.folder);
    try {
        if (options.counts) {
            printCounts(root);
        } else {
            makeDemo(root, options.replace);
            std::cout << "Demo library made in " << root.string() << "; its manager folder is "
                      << (root / "manager").string() << "\n";
        }
    } catch (const db::EDatabaseError &error) {
        // The database layer's texts are code page 1251.
        std::cerr << "dorvil-demo: " << platform::ansiToUtf8(error.what()) << '\n';
        return 1;
    } catch (const std::exception &error) {
        std::cerr << "dorvil-demo: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
