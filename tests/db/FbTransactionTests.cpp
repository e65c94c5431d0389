#include "FbClient.h"
#include "Internals.h"
#include "TestSupport.h"
#include "db/DbDatabase.h"
#include "db/FbErrors.h"

#include <gtest/gtest.h>

using namespace db;

namespace {

class Transactions : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(dbtest::createDatabase(m_file, 3, true));
        form.database.SetConnected(true);
    }

    dbtest::TempFolder m_folder;
    std::filesystem::path m_file = m_folder.native() / "catalogue.fdb";
    dbtest::Form1 form{m_file};
};

TEST_F(Transactions, StartUsesTheApplicationsParametersAndIsIdempotent)
{
    int starts = 0;
    form.transaction.BeforeStart = [&](TDbTransaction &) { ++starts; };
    form.transaction.StartTransaction();
    const TFbHandle handle = form.transaction.Handle();
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(form.transaction.TransactionState(), tsActive);
    form.transaction.StartTransaction();
    EXPECT_EQ(form.transaction.Handle(), handle);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(
        form.transaction.TRParams(),
        (std::vector<std::string>{"write", "isc_tpb_nowait", "read_committed", "rec_version"}));
}

TEST_F(Transactions, BaseStartWhileActiveIsClientError16)
{
    form.transaction.StartTransaction();
    EXPECT_EQ(dbtest::messageOf<EFbClientError>(
                  [&] { form.transaction.TFbTransaction::StartTransaction(); }),
              "Form1.DbTransaction1 :Transaction is active.");
}

TEST_F(Transactions, RepeatableReadModeSetsConcurrency)
{
    form.transaction.SetTPBMode(tpbRepeatableRead);
    form.transaction.StartTransaction();
    EXPECT_EQ(form.transaction.TRParams(),
              (std::vector<std::string>{"write", "isc_tpb_nowait", "concurrency"}));
}

TEST_F(Transactions, SecondCommitIsClientError15WithTheFullName)
{
    form.transaction.StartTransaction();
    form.transaction.Commit();
    EXPECT_FALSE(form.transaction.Active());
    EXPECT_EQ(form.transaction.TransactionState(), tsInactive);
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { form.transaction.Commit(); }),
              "Form1.DbTransaction1 :Transaction is not active.");
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { form.transaction.RollbackRetaining(); }),
              "Form1.DbTransaction1 :Transaction is not active.");
}

TEST_F(Transactions, StartOnAClosedConnectionIsClientError12)
{
    form.database.SetConnected(false);
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { form.transaction.StartTransaction(); }),
              "Form1.DbDatabase1: Cannot perform operation -- DB is not open.");
    EXPECT_FALSE(form.transaction.Active());
}

TEST(TransactionWithoutConnection, StartIsClientError18)
{
    TComponent owner(nullptr, "Form1");
    TDbTransaction transaction(&owner, "DbTransaction1");
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { transaction.StartTransaction(); }),
              "Form1.DbTransaction1 :No databases are listed in transaction component.");
}

TEST_F(Transactions, BadParameterLineLeavesTheTransactionInactive)
{
    form.transaction.SetTPBMode(tpbDefault);
    form.transaction.SetTRParams({"write", "dirty_read"});
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { form.transaction.StartTransaction(); }),
              "TPB Constant (dirty_read) is unknown.");
    form.transaction.SetTRParams({"write", "verb_time"});
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { form.transaction.StartTransaction(); }),
              "TPB Constant (isc_tpb_verb_time) is unsupported.");
    EXPECT_FALSE(form.transaction.Active());
    form.transaction.SetTRParams({"read", "", "concurrency"});
    form.transaction.StartTransaction();
    EXPECT_TRUE(form.transaction.Active());
}

TEST_F(Transactions, ChangesWhileActiveAreClientError16)
{
    form.transaction.StartTransaction();
    const std::string active = "Form1.DbTransaction1 :Transaction is active.";
    EXPECT_EQ(dbtest::messageOf<EFbClientError>([&] { form.transaction.SetTRParams({"read"}); }),
              active);
    EXPECT_EQ(
        dbtest::messageOf<EFbClientError>([&] { form.transaction.SetDefaultDatabase(nullptr); }),
        active);
}

TEST_F(Transactions, ActivePropertyStartsAndRollsBack)
{
    form.transaction.SetActive(true);
    dbtest::executeSql(form.database, form.transaction,
                       "INSERT INTO BOOK (BOOKID, FILENAME) VALUES (1, 'a.fb2.zip')",
                       &form.transaction);
    form.transaction.SetActive(false);
    EXPECT_FALSE(form.transaction.Active());
    form.transaction.SetActive(true);
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction, "SELECT COUNT(*) FROM BOOK"),
              0);
}

// Records what a statement bound to the transaction is told, with the state
// the transaction is in at that moment.
struct RecordingStatement : IFbTransactionClient {
    std::string name;
    TFbTransaction &transaction;
    std::vector<std::string> &log;
    RecordingStatement(std::string statementName, TFbTransaction &owner,
                       std::vector<std::string> &events)
        : name(std::move(statementName)), transaction(owner), log(events)
    {
        transaction.AddStatement(this);
    }
    ~RecordingStatement() override { transaction.RemoveStatement(this); }
    void BeforeTransactionStart() override { log.push_back(name + " before start"); }
    void AfterTransactionStart() override { log.push_back(name + " after start"); }
    void TransactionEnding() override
    {
        log.push_back(name + " ending, state " + std::to_string(transaction.TransactionState()));
    }
    void TransactionEnded() override { log.push_back(name + " ended"); }
};

class TransactionNotifications : public Transactions {
protected:
    void SetUp() override
    {
        Transactions::SetUp();
        TDbTransaction &transaction = form.transaction;
        form.database.BeforeEndTransaction = [this](TDbTransaction &, TTransactionAction, bool) {
            log.push_back("database before end");
        };
        form.database.AfterEndTransaction = [this](TDbTransaction &, TTransactionAction, bool) {
            log.push_back("database after end");
        };
        transaction.BeforeEnd = [this](TDbTransaction &, TTransactionAction action, bool) {
            log.push_back("BeforeEnd " + std::to_string(action));
        };
        transaction.AfterEnd = [this](TDbTransaction &t, TTransactionAction, bool) {
            log.push_back(std::string("AfterEnd ") + (t.Active() ? "active" : "inactive"));
        };
        transaction.BeforeEndListeners().Add(this, [this](TTransactionAction action, bool force) {
            log.push_back("before-end listener A " + std::to_string(action) +
                          (force ? " forced" : ""));
        });
        transaction.BeforeEndListeners().Add(
            &log, [this](TTransactionAction, bool) { log.push_back("before-end listener B"); });
        transaction.AfterEndListeners().Add(this,
                                            [this] { log.push_back("after-end listener A"); });
        transaction.AfterEndListeners().Add(&log,
                                            [this] { log.push_back("after-end listener B"); });
        transaction.BeforeStartListeners().Add(
            this, [this] { log.push_back("before-start listener A"); });
        transaction.BeforeStartListeners().Add(
            &log, [this] { log.push_back("before-start listener B"); });
        transaction.AfterStartListeners().Add(this,
                                              [this] { log.push_back("after-start listener A"); });
        transaction.AfterStartListeners().Add(&log,
                                              [this] { log.push_back("after-start listener B"); });
    }

    // The handlers write to the log, which goes before the form does.
    void TearDown() override { form.transaction.SetActive(false); }

    std::vector<std::string> log;
    RecordingStatement first{"first", form.transaction, log};
    RecordingStatement second{"second", form.transaction, log};
};

TEST_F(TransactionNotifications, StartTellsStatementsInOrderAndListenersLastFirst)
{
    form.transaction.StartTransaction();
    EXPECT_EQ(log, (std::vector<std::string>{"first before start", "second before start",
                                             "before-start listener B", "before-start listener A",
                                             "after-start listener B", "after-start listener A",
                                             "first after start", "second after start"}));
}

TEST_F(TransactionNotifications, CommitEndsStatementsLastFirstWhileCommitting)
{
    form.transaction.StartTransaction();
    log.clear();
    form.transaction.Commit();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "database before end", "BeforeEnd 2", "second ending, state 4",
                       "first ending, state 4", "before-end listener A 2", "before-end listener B",
                       "second ended", "first ended", "after-end listener A",
                       "after-end listener B", "AfterEnd inactive", "database after end"}));
}

TEST_F(TransactionNotifications, CommitRetainingTellsTheRetainingStateAndStaysActive)
{
    form.transaction.StartTransaction();
    log.clear();
    form.transaction.CommitRetaining();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "database before end", "BeforeEnd 3", "second ending, state 5",
                       "first ending, state 5", "before-end listener A 3", "before-end listener B",
                       "second ended", "first ended", "after-end listener A",
                       "after-end listener B", "AfterEnd active", "database after end"}));
    EXPECT_EQ(form.transaction.TransactionState(), tsActive);
    log.clear();
    form.transaction.RollbackRetaining();
    EXPECT_EQ(log[2], "second ending, state 3");
    EXPECT_TRUE(form.transaction.Active());
}

TEST_F(TransactionNotifications, DestructionRollsBackForcedAndCallsDestroyListenersLastFirst)
{
    std::vector<std::string> destroyLog;
    {
        TDbTransaction other(&form.form, "DbTransaction2");
        other.SetDefaultDatabase(&form.database);
        other.SetTimeoutAction(TACommitRetaining);
        other.AfterEnd = [&](TDbTransaction &, TTransactionAction action, bool force) {
            destroyLog.push_back("ended " + std::to_string(action) + (force ? " forced" : ""));
        };
        other.DestroyListeners().Add(&destroyLog, [&] { destroyLog.push_back("destroy 1"); });
        other.DestroyListeners().Add(this, [&] { destroyLog.push_back("destroy 2"); });
        other.StartTransaction();
        EXPECT_EQ(form.database.Transactions().size(), 3u);
    }
    EXPECT_EQ(destroyLog, (std::vector<std::string>{"ended 2 forced", "destroy 2", "destroy 1"}));
    EXPECT_EQ(form.database.Transactions().size(), 2u);
}

// The second connection uses the application's parameters: write, nowait,
// read committed, record versions. It deletes the row another attachment
// has updated but not committed.
TEST_F(Transactions, LockConflictIsServerErrorNamingTheStatement)
{
    form.transaction.StartTransaction();
    dbtest::executeSql(form.database, form.transaction,
                       "INSERT INTO BOOK (BOOKID, FILENAME) VALUES (1, 'a\\b.fb2.zip')",
                       &form.transaction);
    form.transaction.Commit();
    TDbTransaction holder(&form.form, "DbTransaction2");
    holder.SetDefaultDatabase(&form.database);
    holder.StartTransaction();
    dbtest::executeSql(form.database, holder, "UPDATE BOOK SET OLDID = 'x' WHERE BOOKID = 1",
                       &holder);
    const auto holderNumber =
        dbtest::queryInteger(form.database, holder, "SELECT CURRENT_TRANSACTION FROM RDB$DATABASE");
    ASSERT_TRUE(holderNumber);

    dbtest::Form1 other(m_file);
    TComponent query(&other.form, "DbQuery1");
    other.database.SetConnected(true);
    other.transaction.StartTransaction();
    try {
        dbtest::executeSql(other.database, other.transaction, "EXECUTE PROCEDURE DELBOOK(1)",
                           &query);
        FAIL() << "no exception";
    } catch (const EFbServerError &error) {
        EXPECT_EQ(error.Message(), "Form1.DbQuery1:\r\n"
                                   "Deadlock.\r\n"
                                   "Deadlock.\r\n"
                                   "Update conflicts with concurrent update.\r\n"
                                   "Concurrent transaction number is " +
                                       std::to_string(*holderNumber) +
                                       ".\r\n"
                                       "At procedure 'DELBOOK' line: 5, col: 3.\r\n");
        EXPECT_EQ(error.SQLCode(), -913);
        EXPECT_EQ(error.ErrorCode(), 335544336);
        EXPECT_EQ(error.SQLMessage(), "Deadlock.\r\n");
        EXPECT_EQ(error.Sender(), &query);
    }
    EXPECT_TRUE(other.transaction.Active());
}

TEST_F(Transactions, RefusedCommitLeavesTheTransactionActive)
{
    // A handle the server does not know makes it refuse the commit.
    form.transaction.StartTransaction();
    dbtest::executeSql(form.database, form.transaction, "INSERT INTO BOOK (BOOKID) VALUES (7)",
                       &form.transaction);
    TFbHandle handle = form.transaction.Handle();
    TFbHandle bogus = handle + 1000;
    std::swap(*db::detail::Internals::handlePointer(form.transaction), bogus);
    try {
        form.transaction.Commit();
        FAIL() << "no exception";
    } catch (const EFbServerError &error) {
        EXPECT_EQ(error.SenderName(), "Form1.DbTransaction1");
        EXPECT_EQ(error.Message(), "Form1.DbTransaction1:\r\n"
                                   "Unsuccessful execution caused by system error that does "
                                   "not preclude successful execution of subsequent "
                                   "statements.\r\n"
                                   "Invalid transaction handle (expecting explicit transaction "
                                   "start).\r\n");
    }
    EXPECT_TRUE(form.transaction.Active());
    EXPECT_EQ(form.transaction.TransactionState(), tsActive);
    std::swap(*db::detail::Internals::handlePointer(form.transaction), bogus);
    form.transaction.Rollback();
    EXPECT_FALSE(form.transaction.Active());
}

} // namespace
