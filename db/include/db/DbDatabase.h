#pragma once
// The components the application places on its window: a connection and a
// transaction with the events around every start and end of a transaction.

#include "db/FbDatabase.h"

namespace db {

class TDbTransaction;

class TDbDatabase : public TFbDatabase {
public:
    using TFbDatabase::TFbDatabase;
    ~TDbDatabase() override;

    // Called around every start and end of a transaction whose default
    // connection this is.
    std::function<void(TDbTransaction &)> BeforeStartTransaction;
    std::function<void(TDbTransaction &)> AfterStartTransaction;
    std::function<void(TDbTransaction &, TTransactionAction, bool force)> BeforeEndTransaction;
    std::function<void(TDbTransaction &, TTransactionAction, bool force)> AfterEndTransaction;
};

/// How StartTransaction sets TRParams: read committed and repeatable read
/// replace them, default leaves them alone.
enum TTPBMode { tpbDefault, tpbReadCommitted, tpbRepeatableRead };

class TDbTransaction : public TFbTransaction {
public:
    using TFbTransaction::TFbTransaction;
    ~TDbTransaction() override;

    TTPBMode TPBMode() const { return m_tpbMode; }
    void SetTPBMode(TTPBMode mode) { m_tpbMode = mode; }

    /// Does nothing when already active.
    void StartTransaction() override;
    void EndTransaction(TTransactionAction action, bool force) override;

    std::function<void(TDbTransaction &)> BeforeStart;
    std::function<void(TDbTransaction &)> AfterStart;
    std::function<void(TDbTransaction &, TTransactionAction, bool force)> BeforeEnd;
    std::function<void(TDbTransaction &, TTransactionAction, bool force)> AfterEnd;

private:
    TDbDatabase *defaultDbDatabase() const;
    TTPBMode m_tpbMode = tpbReadCommitted;
};

} // namespace db
