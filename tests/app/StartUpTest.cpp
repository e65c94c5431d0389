#include "app/TForm1.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include "AppFixture.h"

#include <filesystem>
#include <memory>

using app::TForm1;
namespace fs = std::filesystem;

namespace {

const std::string kCannotFind = platform::utf8ToAnsi("Не могу найти ");
const std::string kDefaultsWritten = "[Compare]\r\nMoveTo=\r\nMoveFiles=1\r\nMoveEmptyDir=1\r\n"
                                     "SaveStructure=1\r\nDelDoubleRec=0\r\nIdNotFound=0\r\n"
                                     "MoveNotFound=0\r\n";

class StartUp : public AppFixture {
protected:
    TForm1 &startWith(const std::string &ownSettings)
    {
        writeSetting("bokvarddb.ini", "[Common]\r\nDataBaseFile=D:\\Lib\\lib.fdb\r\n"
                                      "MountPoint=D:\\Lib\r\nWorkMode=1\r\n");
        if (!ownSettings.empty())
            writeSetting("Dorvil.ini", ownSettings);
        m_form = std::make_unique<TForm1>(m_frontEnd, programDir());
        EXPECT_TRUE(m_form->StartUp());
        return *m_form;
    }
    std::unique_ptr<TForm1> m_form;
};

TEST_F(StartUp, WithoutManagerSettingsTellsTheUserAndTouchesNothing)
{
    m_root.write("systemp/Dorvil/left.fb2");
    TForm1 form(m_frontEnd, programDir());
    EXPECT_FALSE(form.StartUp());
    EXPECT_TRUE(form.SettingsMissing);
    EXPECT_EQ(m_recorder.messages,
              std::vector<std::string>{kCannotFind + programDir() + "bokvarddb.ini"});
    EXPECT_TRUE(m_recorder.quitRequested);
    EXPECT_TRUE(form.TempDir.empty());
    EXPECT_FALSE(form.ScratchList);

    EXPECT_TRUE(form.ShutDown());
    EXPECT_FALSE(fs::exists(m_root.native() / "manager/Dorvil.ini"));
    EXPECT_TRUE(fs::exists(m_root.native() / "systemp/Dorvil/left.fb2"));
    EXPECT_TRUE(m_recorder.errors.empty());
}

TEST_F(StartUp, PreparesFoldersListsAndDefaults)
{
    TForm1 &form = startWith("");
    EXPECT_EQ(form.ProgramDir, programDir());
    EXPECT_EQ(form.DataBaseFile, "D:\\Lib\\lib.fdb");
    EXPECT_EQ(form.MountPoint, "D:\\Lib\\");
    EXPECT_EQ(form.WorkMode, 1);
    EXPECT_EQ(form.TempDir, tempDir());
    EXPECT_TRUE(fs::is_directory(m_root.native() / "systemp/Dorvil"));
    ASSERT_TRUE(form.ScratchList && form.PairList);
    EXPECT_TRUE(form.ScratchList->empty() && form.PairList->empty());
    EXPECT_EQ(form.MoveTo, "");
    EXPECT_TRUE(form.MoveFiles && form.MoveEmptyDir && form.SaveStructure);
    EXPECT_FALSE(form.DelDoubleRec || form.MoveNotFound);
    EXPECT_EQ(form.IdNotFound, 0);
    EXPECT_EQ(form.UserName, "sysdba");
    EXPECT_EQ(form.Password, "plumbrick");
    EXPECT_TRUE(m_recorder.messages.empty());
}

struct ManagerCase {
    const char *name;
    std::string settings;
    std::string mountPoint;
    int32_t workMode;
};

std::ostream &operator<<(std::ostream &out, const ManagerCase &row)
{
    return out << row.name;
}

class ManagerSettings : public AppFixture, public testing::WithParamInterface<ManagerCase> {};

TEST_P(ManagerSettings, GiveMountPointAndWorkMode)
{
    writeSetting("bokvarddb.ini", GetParam().settings);
    TForm1 form(m_frontEnd, programDir());
    ASSERT_TRUE(form.StartUp());
    EXPECT_EQ(form.MountPoint, GetParam().mountPoint);
    EXPECT_EQ(form.WorkMode, GetParam().workMode);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ManagerSettings,
    testing::Values(
        ManagerCase{"backslash_added", "[Common]\nMountPoint=D:\\Lib\n", "D:\\Lib\\", 0},
        ManagerCase{"backslash_kept", "[Common]\nMountPoint=D:\\Lib\\\n", "D:\\Lib\\", 0},
        ManagerCase{"empty", "[Common]\nMountPoint=\nWorkMode=2\n", "\\", 2},
        ManagerCase{"missing", "[common]\nworkmode=3\n", "\\", 3},
        ManagerCase{"work_mode_abc", "[Common]\nWorkMode=abc\n", "\\", 0},
        ManagerCase{"empty_file", "", "\\", 0}),
    [](const auto &row) { return std::string(row.param.name); });

struct OwnCase {
    const char *name;
    std::string line;
    bool moveFiles;
    int32_t idNotFound;
    std::string written; // the shutdown's line for the key the case is about
};

std::ostream &operator<<(std::ostream &out, const OwnCase &row)
{
    return out << row.name;
}

class OwnSettings : public StartUp, public testing::WithParamInterface<OwnCase> {};

TEST_P(OwnSettings, AreReadClampedAndWrittenBack)
{
    const auto &row = GetParam();
    TForm1 &form = startWith("[Compare]\r\n" + row.line + "\r\n");
    EXPECT_EQ(form.MoveFiles, row.moveFiles);
    EXPECT_EQ(form.IdNotFound, row.idNotFound);
    ASSERT_TRUE(form.ShutDown());
    auto written = platform::readWholeFile(programDir() + "Dorvil.ini");
    ASSERT_TRUE(written);
    EXPECT_NE(written->find("\r\n" + row.written + "\r\n"), std::string::npos) << *written;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, OwnSettings,
    testing::Values(OwnCase{"id_7_is_third_policy", "IdNotFound=7", true, 2, "IdNotFound=2"},
                    OwnCase{"id_minus_5_is_none", "IdNotFound=-5", true, -1, "IdNotFound=-1"},
                    OwnCase{"id_hex", "IdNotFound=0x1", true, 1, "IdNotFound=1"},
                    OwnCase{"move_yes_is_default", "MoveFiles=yes", true, 0, "MoveFiles=1"},
                    OwnCase{"move_zero", "MoveFiles=0", false, 0, "MoveFiles=0"},
                    OwnCase{"move_other_number", "movefiles=-3", true, 0, "movefiles=1"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(StartUp, MoveToIsKeptAsReadAndWrittenBack)
{
    TForm1 &form = startWith("[Compare]\r\nMoveTo=D:\\Moved\r\n");
    EXPECT_EQ(form.MoveTo, "D:\\Moved");
    ASSERT_TRUE(form.ShutDown());
    EXPECT_EQ(
        platform::ProfileFile(programDir() + "Dorvil.ini").readString("Compare", "MoveTo", ""),
        "D:\\Moved");
}

TEST_F(StartUp, ShutdownCreatesMissingSettingsWithSevenKeys)
{
    TForm1 &form = startWith("");
    ASSERT_TRUE(form.ShutDown());
    EXPECT_EQ(platform::readWholeFile(programDir() + "Dorvil.ini"), kDefaultsWritten);
}

TEST_F(StartUp, ShutdownChangesOnlyTheSevenValues)
{
    const std::string before =
        "; my settings\r\n[Compare]\r\nUserName=reader\r\nPassword=secret\r\n"
        "MoveFiles=0\r\nIdNotFound=1\r\n\r\n[Window]\r\nLeft=10\r\n";
    TForm1 &form = startWith(before);
    EXPECT_EQ(form.UserName, "reader");
    EXPECT_EQ(form.Password, "secret");
    form.MoveFiles = true;
    form.DelDoubleRec = true;
    form.MoveTo = "E:\\Out\\";
    ASSERT_TRUE(form.ShutDown());
    EXPECT_EQ(platform::readWholeFile(programDir() + "Dorvil.ini"),
              "; my settings\r\n[Compare]\r\nUserName=reader\r\nPassword=secret\r\n"
              "MoveFiles=1\r\nIdNotFound=1\r\nMoveTo=E:\\Out\\\r\nMoveEmptyDir=1\r\n"
              "SaveStructure=1\r\nDelDoubleRec=1\r\nMoveNotFound=0\r\n\r\n[Window]\r\nLeft=10\r\n");
}

TEST_F(StartUp, ShutdownDeletesTheFilesLeftInTheTemporaryFolder)
{
    TForm1 &form = startWith("");
    m_root.write("systemp/Dorvil/book.fb2");
    ASSERT_TRUE(form.ShutDown());
    EXPECT_FALSE(fs::exists(m_root.native() / "systemp/Dorvil/book.fb2"));
    EXPECT_TRUE(fs::is_directory(m_root.native() / "systemp/Dorvil"));
    EXPECT_FALSE(form.ScratchList || form.PairList);
}

TEST_F(StartUp, UnwritableSettingsStopTheShutdownWithAnError)
{
    TForm1 &form = startWith("[Compare]\r\nMoveFiles=0\r\n");
    ASSERT_TRUE(platform::setReadOnly(programDir() + "Dorvil.ini", true));
    m_root.write("systemp/Dorvil/book.fb2");
    EXPECT_FALSE(form.ShutDown());
    EXPECT_EQ(m_recorder.errors,
              std::vector<std::string>{"Unable to write to " + programDir() + "Dorvil.ini"});
    EXPECT_EQ(platform::readWholeFile(programDir() + "Dorvil.ini"), "[Compare]\r\nMoveFiles=0\r\n");
    EXPECT_TRUE(fs::exists(m_root.native() / "systemp/Dorvil/book.fb2"));
}

} // namespace
