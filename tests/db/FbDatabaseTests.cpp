#include "FbClient.h"
#include "Internals.h"
#include "TestSupport.h"
#include "db/DbDatabase.h"
#include "db/FbErrors.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace db;

namespace {

class EmbeddedConnection : public testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(dbtest::createDatabase(m_file)); }

    dbtest::TempFolder m_folder;
    std::filesystem::path m_file = m_folder.native() / "catalogue.fdb";
};

TEST_F(EmbeddedConnection, ConnectReadsTheServerFacts)
{
    dbtest::Form1 form(m_file);
    EXPECT_EQ(form.database.ServerVersionMajor(), -1);
    form.database.SetConnected(true);
    ASSERT_TRUE(form.database.Connected());
    EXPECT_NE(form.database.Handle(), 0u);
    EXPECT_TRUE(form.database.ServerIsFirebird());
    EXPECT_EQ(form.database.ServerVersionMajor(), 3);
    EXPECT_EQ(form.database.ServerVersionMinor(), 0);
    EXPECT_GE(form.database.ServerVersionRelease(), 0);
    EXPECT_GT(form.database.ServerVersionBuild(), 0);
    EXPECT_EQ(form.database.DatabaseSQLDialect(), 3);
    EXPECT_EQ(form.database.SQLDialect(), 3);
    // No lc_ctype: the attachment's character set is NONE.
    EXPECT_FALSE(form.database.UnicodeAttachment());
    EXPECT_TRUE(form.database.UnicodeOrNoneAttachment());
    EXPECT_FALSE(form.database.Koi8Attachment());
    EXPECT_TRUE(form.database.MetadataUtf8());
    EXPECT_EQ(form.database.UnicodeCharsetIds(), (std::vector<int>{3, 4}));
    // The server's clock is this machine's: the difference is the time the
    // query took, and the internal transaction it ran in is over.
    EXPECT_LT(std::fabs(form.database.ServerTimeDelta()) * 86400.0, 2.0);
    EXPECT_FALSE(form.database.InternalTransaction().Active());
}

TEST_F(EmbeddedConnection, ClockQueryOnlyWhenSynchronizing)
{
    dbtest::Form1 form(m_file);
    form.database.SetSynchronizeTime(false);
    int starts = 0;
    form.database.InternalTransaction().BeforeStartListeners().Add(this, [&] { ++starts; });
    form.database.SetConnected(true);
    EXPECT_EQ(starts, 0);
    form.database.SetConnected(false);
    form.database.SetSynchronizeTime(true);
    form.database.SetConnected(true);
    EXPECT_EQ(starts, 1);
}

TEST_F(EmbeddedConnection, Utf8AttachmentIsUnicode)
{
    dbtest::Form1 form(m_file);
    form.database.ConnectParams().SetCharSet("utf8");
    form.database.SetConnected(true);
    EXPECT_TRUE(form.database.UnicodeAttachment());
    EXPECT_TRUE(form.database.UnicodeOrNoneAttachment());
}

TEST_F(EmbeddedConnection, ConnectTwiceAndCloseTwiceDoNothingMore)
{
    dbtest::Form1 form(m_file);
    int connects = 0;
    int disconnects = 0;
    form.database.AfterConnect = [&](TFbDatabase &) { ++connects; };
    form.database.AfterDisconnect = [&](TFbDatabase &) { ++disconnects; };
    form.database.SetConnected(true);
    const TFbHandle handle = form.database.Handle();
    form.database.SetConnected(true);
    EXPECT_EQ(form.database.Handle(), handle);
    form.database.SetConnected(false);
    form.database.SetConnected(false);
    EXPECT_FALSE(form.database.Connected());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(form.database.ServerVersionMajor(), -1);
    EXPECT_EQ(form.database.UnicodeCharsetIds(), (std::vector<int>{3}));
}

TEST_F(EmbeddedConnection, ReconnectAfterClose)
{
    dbtest::Form1 form(m_file);
    form.database.SetConnected(true);
    form.database.SetConnected(false);
    form.database.SetConnected(true);
    EXPECT_TRUE(form.database.Connected());
}

TEST(Connection, EmptyDBNameIsClientError14)
{
    dbtest::Form1 form("");
    try {
        form.database.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), "Database name is missing.");
        EXPECT_EQ(error.SQLCode(), 14);
    }
    EXPECT_FALSE(form.database.Connected());
}

TEST(Connection, VetoedConnectStaysClosed)
{
    dbtest::Form1 form("/nowhere/x.fdb");
    form.database.BeforeConnect = [](TFbDatabase &, bool &allow) { allow = false; };
    form.database.SetConnected(true);
    EXPECT_FALSE(form.database.Connected());
}

TEST(Connection, BadDpbLineAttachesNothing)
{
    dbtest::TempFolder folder;
    dbtest::Form1 form(folder.native() / "x.fdb");
    form.database.SetDBParams({"user_name=SYSDBA", "buffers=5"});
    try {
        form.database.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), "DPB Constant (buffers) is unknown.");
    }
    EXPECT_FALSE(form.database.Connected());
}

TEST(Connection, MissingDatabaseFileIsServerErrorFromTheConnection)
{
    dbtest::TempFolder folder;
    const std::string path = (folder.native() / "missing.fdb").string();
    dbtest::Form1 form(path, "secret-password");
    try {
        form.database.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EFbServerError &error) {
        EXPECT_EQ(error.Message(),
                  "Form1.DbDatabase1:\r\n"
                  "Unsuccessful execution caused by a system error that precludes successful "
                  "execution of subsequent statements.\r\n"
                  "I/O error during \"open\" operation for file \"" +
                      path +
                      "\".\r\n"
                      "Error while trying to open file.\r\n"
                      "No such file or directory.\r\n");
        EXPECT_EQ(error.SQLCode(), -902);
        EXPECT_EQ(error.ErrorCode(), 335544344);
        EXPECT_EQ(error.Sender(), &form.database);
        EXPECT_EQ(error.Message().find("secret-password"), std::string::npos);
    }
    EXPECT_FALSE(form.database.Connected());
    EXPECT_EQ(form.database.Handle(), 0u);
}

TEST_F(EmbeddedConnection, ChangingParametersWhileConnectedIsClientError13)
{
    dbtest::Form1 form(m_file);
    form.database.SetConnected(true);
    const std::string message = "Cannot perform operation -- DB is currently open.";
    auto expectOpen = [&](auto change) {
        try {
            change();
            ADD_FAILURE() << "no exception";
        } catch (const EFbClientError &error) {
            EXPECT_EQ(error.Message(), message);
        }
    };
    expectOpen([&] { form.database.SetDBParams({}); });
    expectOpen([&] { form.database.ConnectParams().SetPassword("other"); });
    expectOpen([&] { form.database.SetDBName("other.fdb"); });
    expectOpen([&] { form.database.SetLibraryName("libother.so"); });
    EXPECT_EQ(form.database.ConnectParams().Password(), "testpass");
}

TEST_F(EmbeddedConnection, SqlDialectCannotExceedTheDatabases)
{
    dbtest::Form1 form(m_file);
    EXPECT_THROW(form.database.SetSQLDialect(0), EFbClientError);
    form.database.SetConnected(true);
    form.database.SetSQLDialect(1);
    form.database.SetSQLDialect(3);
    try {
        form.database.SetSQLDialect(4);
        FAIL() << "no exception";
    } catch (const EFbClientError &error) {
        EXPECT_EQ(error.Message(), "SQL Dialect invalid");
    }
    EXPECT_EQ(form.database.SQLDialect(), 3);
}

TEST(Connection, DialectIsLoweredToADialectOneDatabase)
{
    dbtest::TempFolder folder;
    const auto file = folder.native() / "old.fdb";
    ASSERT_NO_FATAL_FAILURE(dbtest::createDatabase(file, 1));
    dbtest::Form1 form(file);
    EXPECT_EQ(form.database.SQLDialect(), 3);
    form.database.SetConnected(true);
    EXPECT_EQ(form.database.DatabaseSQLDialect(), 1);
    EXPECT_EQ(form.database.SQLDialect(), 1);
}

// Records the hooks of a statement bound to the connection.
struct RecordingStatement : IFbDatabaseClient {
    std::vector<std::string> &log;
    explicit RecordingStatement(std::vector<std::string> &events) : log(events) {}
    void BeforeDatabaseConnect() override { log.push_back("statement before connect"); }
    void AfterDatabaseConnect() override { log.push_back("statement after connect"); }
    void DatabaseDisconnecting() override { log.push_back("statement disconnecting"); }
    void DatabaseDisconnected() override { log.push_back("statement disconnected"); }
    void DatabaseFreed() override { log.push_back("statement freed"); }
};

TEST_F(EmbeddedConnection, ConnectAndCloseCallHooksEventsAndListenersInOrder)
{
    std::vector<std::string> log;
    RecordingStatement statement(log);
    {
        dbtest::Form1 form(m_file);
        TDbDatabase &database = form.database;
        database.AddStatement(&statement);
        database.BeforeConnect = [&](TFbDatabase &, bool &) { log.push_back("BeforeConnect"); };
        database.AfterConnect = [&](TFbDatabase &) { log.push_back("AfterConnect"); };
        database.BeforeDisconnect = [&](TFbDatabase &) { log.push_back("BeforeDisconnect"); };
        database.AfterDisconnect = [&](TFbDatabase &db) {
            log.push_back(db.Connected() ? "AfterDisconnect connected" : "AfterDisconnect");
        };
        database.AfterConnectListeners().Add(&log,
                                             [&] { log.push_back("after-connect listener"); });
        database.BeforeDisconnectListeners().Add(
            &log, [&] { log.push_back("before-disconnect listener"); });
        database.DestroyListeners().Add(&log, [&] { log.push_back("destroy listener 1"); });
        database.DestroyListeners().Add(&statement, [&] { log.push_back("destroy listener 2"); });
        form.transaction.AfterEnd = [&](TDbTransaction &, TTransactionAction action, bool force) {
            log.push_back(std::string("transaction ended ") +
                          (action == TARollback ? "rollback" : "other") + (force ? " forced" : ""));
        };
        database.SetConnected(true);
        form.transaction.StartTransaction();
        database.SetConnected(false);
        log.push_back("--");
    }
    EXPECT_EQ(log, (std::vector<std::string>{
                       "BeforeConnect", "statement before connect", "AfterConnect",
                       "after-connect listener", "statement after connect", "BeforeDisconnect",
                       "before-disconnect listener", "transaction ended rollback forced",
                       "statement disconnecting", "statement disconnected", "AfterDisconnect", "--",
                       "destroy listener 2", "destroy listener 1", "statement freed"}));
}

TEST_F(EmbeddedConnection, FailingBeforeDisconnectIsReportedWithTheConnectionsName)
{
    dbtest::Form1 form(m_file);
    form.database.SetConnected(true);
    form.database.BeforeDisconnect = [](TFbDatabase &) { throw std::runtime_error("busy"); };
    try {
        form.database.SetConnected(false);
        FAIL() << "no exception";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "Error of Form1.DbDatabase1.BeforeDisconnect. busy");
    }
    EXPECT_TRUE(form.database.Connected());
    // Destruction still detaches although the event keeps failing.
}

TEST_F(EmbeddedConnection, CloseCommitsOrRollsBackByTimeoutAction)
{
    {
        dbtest::Form1 form(m_file);
        form.database.SetConnected(true);
        form.transaction.StartTransaction();
        dbtest::executeSql(form.database, form.transaction, "CREATE TABLE T (A INTEGER)",
                           &form.transaction);
        form.transaction.CommitRetaining();
        dbtest::executeSql(form.database, form.transaction, "INSERT INTO T VALUES (1)",
                           &form.transaction);
        form.transaction.SetTimeoutAction(TACommitRetaining); // becomes a commit at close
        form.database.SetConnected(false);
        EXPECT_FALSE(form.transaction.Active());
        form.database.SetConnected(true);
        form.transaction.StartTransaction();
        dbtest::executeSql(form.database, form.transaction, "INSERT INTO T VALUES (2)",
                           &form.transaction);
        form.transaction.SetTimeoutAction(TARollback);
    } // destruction rolls the second row back
    dbtest::Form1 form(m_file);
    form.database.SetConnected(true);
    form.transaction.StartTransaction();
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction, "SELECT COUNT(*) FROM T"), 1);
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction, "SELECT MAX(A) FROM T"), 1);
}

} // namespace

namespace {

struct LostHandleStatement : IFbDatabaseClient {
    int lost = 0;
    int disconnecting = 0;
    void DatabaseHandleLost() override { ++lost; }
    void DatabaseDisconnecting() override { ++disconnecting; }
};

// A handle the server no longer knows stands for a server that has gone:
// the alive check at close fails and the connection gives up its handles
// without further server calls and without an error.
TEST_F(EmbeddedConnection, CloseAfterTheServerWentAwayDropsEverythingQuietly)
{
    dbtest::Form1 form(m_file);
    LostHandleStatement statement;
    form.database.AddStatement(&statement);
    std::vector<TOnLostConnectActions> offered;
    form.database.OnLostConnect = [&](TFbDatabase &, TOnLostConnectActions &action) {
        offered.push_back(action);
    };
    form.database.SetConnected(true);
    form.transaction.StartTransaction();
    TFbHandle realDatabase = form.database.Handle();
    TFbHandle realTransaction = form.transaction.Handle();
    *db::detail::Internals::handlePointer(form.database) = realDatabase + 1000;

    EXPECT_NO_THROW(form.database.SetConnected(false));
    EXPECT_EQ(offered, (std::vector<TOnLostConnectActions>{laCloseConnect}));
    EXPECT_FALSE(form.database.Connected());
    EXPECT_FALSE(form.transaction.Active());
    EXPECT_EQ(statement.lost, 1);
    EXPECT_EQ(statement.disconnecting, 0);
    form.database.RemoveStatement(&statement);

    // The real attachment is still there; end it so the file is released.
    const IFbClientLibrary &library = *db::detail::Internals::clientLibrary(form.database);
    EXPECT_EQ(library.isc_rollback_transaction(StatusVector(), &realTransaction), 0);
    EXPECT_EQ(library.isc_detach_database(StatusVector(), &realDatabase), 0);
}

TEST_F(EmbeddedConnection, IgnoringALostConnectionKeepsItsHandle)
{
    dbtest::Form1 form(m_file);
    form.database.OnLostConnect = [](TFbDatabase &, TOnLostConnectActions &action) {
        action = laIgnore;
    };
    form.database.SetConnected(true);
    const TFbHandle real = form.database.Handle();
    *db::detail::Internals::handlePointer(form.database) = real + 1000;
    form.database.SetConnected(false);
    EXPECT_TRUE(form.database.Connected());
    *db::detail::Internals::handlePointer(form.database) = real;
    form.database.SetConnected(false);
    EXPECT_FALSE(form.database.Connected());
}

} // namespace
