#include "app/TForm1.h"
#include "platform/FileSystem.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using app::TForm1;
using testing_support::TempFolder;
namespace fs = std::filesystem;

namespace {

class DeleteFolderFiles : public testing::Test {
protected:
    bool exists(const char *relative) const { return fs::exists(m_temp.native() / relative); }
    TempFolder m_temp;
};

TEST_F(DeleteFolderFiles, DeletesFilesButKeepsFoldersAndDotFiles)
{
    m_temp.write("Dorvil/a.fb2");
    m_temp.write("Dorvil/.keep");
    m_temp.write("Dorvil/x/b.fb2");
    m_temp.write("Dorvil/.hidden/c.fb2");
    EXPECT_TRUE(TForm1::DeleteFolderFiles(m_temp.program("Dorvil\\")));
    EXPECT_FALSE(exists("Dorvil/a.fb2"));
    EXPECT_FALSE(exists("Dorvil/x/b.fb2"));
    EXPECT_TRUE(exists("Dorvil/.keep"));
    EXPECT_TRUE(exists("Dorvil/.hidden/c.fb2"));
    EXPECT_TRUE(fs::is_directory(m_temp.native() / "Dorvil/x"));
}

TEST_F(DeleteFolderFiles, FirstUndeletableFileStopsEveryFolderAbove)
{
    m_temp.write("Dorvil/a.fb2");
    m_temp.write("Dorvil/m/locked.fb2");
    m_temp.write("Dorvil/m/n.fb2");
    m_temp.write("Dorvil/z.fb2");
    ASSERT_TRUE(platform::setReadOnly(m_temp.program("Dorvil\\m\\locked.fb2"), true));
    EXPECT_FALSE(TForm1::DeleteFolderFiles(m_temp.program("Dorvil\\")));
    EXPECT_FALSE(exists("Dorvil/a.fb2"));
    EXPECT_TRUE(exists("Dorvil/m/locked.fb2"));
    EXPECT_TRUE(exists("Dorvil/m/n.fb2"));
    EXPECT_TRUE(exists("Dorvil/z.fb2"));
}

TEST_F(DeleteFolderFiles, DoesNotFollowALinkedFolder)
{
    m_temp.write("elsewhere/precious.fb2");
    fs::create_directories(m_temp.native() / "Dorvil");
    fs::create_directory_symlink(m_temp.native() / "elsewhere", m_temp.native() / "Dorvil/link");
    EXPECT_TRUE(TForm1::DeleteFolderFiles(m_temp.program("Dorvil\\")));
    EXPECT_TRUE(exists("elsewhere/precious.fb2"));
}

TEST_F(DeleteFolderFiles, MissingFolderIsNothingToDo)
{
    EXPECT_TRUE(TForm1::DeleteFolderFiles(m_temp.program("none\\")));
}

} // namespace
