#include "FolderPrefetch.h"

#include "TempFolder.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;

std::vector<std::string> namesOf(const std::vector<platform::FolderEntry> &listing)
{
    std::vector<std::string> names;
    for (const platform::FolderEntry &entry : listing)
        names.push_back(entry.name + (entry.kind == platform::EntryKind::Folder ? "\\" : ""));
    return names;
}

// Whatever the thread read ahead or passed over, the walk gets each listing
// as it is on disk.
TEST(FolderPrefetch, EveryFolderListsAsOnDiskReadAheadOrNot)
{
    TempFolder root;
    root.write("a/1.zip");
    root.write("a/b/2.zip");
    root.write(".hidden/3.zip");
    root.write("moved/4.zip");
    fs::create_directory_symlink(root.native() / "a", root.native() / "link");
    const std::string library = root.program() + "\\";

    reconcile::FolderPrefetch prefetch(library, root.native(), root.native() / "moved");
    for (const char *folder : {"", "a\\", "a\\b\\", "link\\", ".hidden\\", "moved\\"}) {
        const std::string path = library + folder;
        EXPECT_EQ(namesOf(prefetch.Listing(path)), namesOf(platform::listFolder(path))) << folder;
    }
}

// A folder the thread passed over is read at once even when the thread is
// far ahead and waiting for the walk to take what it read.
TEST(FolderPrefetch, AFolderPassedOverIsReadWhileTheThreadWaits)
{
    TempFolder root;
    for (int i = 0; i < 4200; ++i)
        fs::create_directory(root.native() / ("f" + std::to_string(i)));
    root.write(".dot/x.zip");
    const std::string library = root.program() + "\\";

    reconcile::FolderPrefetch prefetch(library, root.native(), std::nullopt);
    EXPECT_EQ(namesOf(prefetch.Listing(library + ".dot\\")), std::vector<std::string>{"x.zip"});
    EXPECT_EQ(prefetch.Listing(library).size(), 4201u);
}

} // namespace
