#pragma once
// The statement component the application places on its window.

#include "db/FbQuery.h"

#include <stdexcept>

namespace db {

class EFbError;

/// The silent abort: ends the operation without a message for the user.
class EAbort : public std::runtime_error {
public:
    EAbort() : std::runtime_error("Operation aborted") {}
};

/// What OnExecuteError decides about a failed execution.
enum TDbExecuteErrorAction { eaFail = 0, eaAbort = 1, eaRetry = 2 };

class TDbQuery : public TFbQuery {
public:
    using TFbQuery::TFbQuery;

    /// Executes; a database-layer error goes to OnExecuteError when assigned,
    /// which may let it fail (the default), turn it into EAbort or retry.
    void ExecQuery() override;

    std::function<void(TDbQuery &, const EFbError &, TDbExecuteErrorAction &)> OnExecuteError;
};

} // namespace db
