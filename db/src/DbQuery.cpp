#include "db/DbQuery.h"

#include "db/FbErrors.h"

namespace db {

void TDbQuery::ExecQuery()
{
    for (;;) {
        try {
            executeBase();
            return;
        } catch (const EFbError &error) {
            if (!OnExecuteError)
                throw;
            TDbExecuteErrorAction action = eaFail;
            OnExecuteError(*this, error, action);
            if (action == eaAbort)
                throw EAbort();
            if (action != eaRetry)
                throw;
        }
    }
}

} // namespace db
