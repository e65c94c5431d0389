// Tests against a real server on a loopback port. ctest starts the server
// before these tests and stops it after them (start-server.sh and
// stop-server.sh, with the port and folder the build gives both sides).

#include "FbClient.h"
#include "FbParamBlocks.h"
#include "TestSupport.h"
#include "db/DbDatabase.h"
#include "db/FbErrors.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace db;

namespace {

class LoopbackServer : public testing::Test {
protected:
    void SetUp() override
    {
        m_path =
            std::string("localhost/" DORVIL_FB_SERVER_PORT ":" DORVIL_FB_SERVER_DIR "/catalogue-") +
            std::to_string(getpid()) + ".fdb";
    }

    void TearDown() override
    {
        if (!m_created)
            return;
        TFbHandle database = 0;
        std::vector<std::string> params = {"user_name=SYSDBA", "password=testpass"};
        const std::string dpb = BuildDPB(params);
        if (m_library->isc_attach_database(StatusVector(), 0, m_path.c_str(), &database,
                                           static_cast<short>(dpb.size()), dpb.data()) == 0)
            m_library->isc_drop_database(StatusVector(), &database);
    }

    // Over TCP, so that the server creates the file and owns it.
    void createDatabase()
    {
        TFbHandle database = 0;
        TFbHandle transaction = 0;
        const std::string sql = "CREATE DATABASE '" + m_path +
                                "' USER 'SYSDBA' PASSWORD 'testpass' DEFAULT CHARACTER SET NONE";
        if (m_library->isc_dsql_execute_immediate(StatusVector(), &database, &transaction, 0,
                                                  sql.c_str(), 3, nullptr) != 0)
            RaiseServerError(*m_library, nullptr);
        m_created = true;
        m_library->isc_detach_database(StatusVector(), &database);
    }

    std::shared_ptr<IFbClientLibrary> m_library = AcquireClientLibrary(kDefaultLibraryName);
    std::string m_path;
    bool m_created = false;
};

TEST_F(LoopbackServer, WrongPasswordIsRefusedWithTheServersMessage)
{
    // Refused before the file is looked at: no database is needed.
    dbtest::Form1 form(m_path, "not-the-password");
    try {
        form.database.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EFbServerError &error) {
        EXPECT_EQ(error.Message(),
                  "Form1.DbDatabase1:\r\n"
                  "Unsuccessful execution caused by a system error that precludes successful "
                  "execution of subsequent statements.\r\n"
                  "Your user name and password are not defined. Ask your database administrator "
                  "to set up a Firebird login.\r\n");
        EXPECT_EQ(error.SQLCode(), -902);
        EXPECT_EQ(error.ErrorCode(), 335544472);
        EXPECT_EQ(error.Sender(), &form.database);
        EXPECT_EQ(error.Message().find("not-the-password"), std::string::npos);
    }
    EXPECT_FALSE(form.database.Connected());
}

TEST_F(LoopbackServer, AttachStartCommitAndDetachOverTcp)
{
    ASSERT_NO_THROW(createDatabase());
    dbtest::Form1 form(m_path);
    form.database.SetConnected(true);
    EXPECT_TRUE(form.database.ServerIsFirebird());
    EXPECT_EQ(form.database.ServerVersionMajor(), 3);
    EXPECT_EQ(form.database.DatabaseSQLDialect(), 3);
    EXPECT_TRUE(form.database.UnicodeOrNoneAttachment());
    form.transaction.StartTransaction();
    dbtest::executeSql(form.database, form.transaction, "CREATE TABLE T (A INTEGER)",
                       &form.transaction);
    form.transaction.CommitRetaining();
    dbtest::executeSql(form.database, form.transaction, "INSERT INTO T VALUES (5)",
                       &form.transaction);
    form.transaction.Commit();
    form.transaction.StartTransaction();
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction, "SELECT SUM(A) FROM T"), 5);
    form.database.SetConnected(false);
    EXPECT_FALSE(form.transaction.Active());
}

} // namespace
