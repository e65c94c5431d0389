#include "DuplicateChecks.h"

#include "Relocation.h"

#include "db/BackupDatabase.h"
#include "db/DbDataSet.h"
#include "db/DbDatabase.h"
#include "db/DbQuery.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace reconcile {

void OpenGroupingQuery(const Run &run, const std::string &selectText)
{
    db::TDbDataSet &groups = run.components.tblDoubleBook;
    if (groups.Active())
        groups.Close();
    run.components.DbTransaction1.StartTransaction();
    groups.SelectSQL().SetText(selectText);
    groups.Open();
    groups.MoveFirst();
}

namespace {

const std::string kBackupMade = platform::utf8ToAnsi("Копия базы перед изменениями: ");
const std::string kBackupFailed =
    platform::utf8ToAnsi("Не удалось сделать копию базы, ничего не изменено: ");

// The catalogue as it was, made by the engine's own backup before the run's
// first change, when the user asked for one. A backup that fails stops the
// run before anything changed.
void backUpBeforeTheFirstChange(const Run &run)
{
    RunState &state = run.state;
    db::TFbDatabase *database = run.components.DbTransaction1.DefaultDatabase();
    if (state.BackupFolder.empty() || state.BackedUp || database == nullptr)
        return;
    const std::string &name = database->DBName();
    std::string base = name.substr(name.find_last_of("\\/:") + 1);
    if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0)
        base.resize(dot);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d-%02d-%02d.fbk", state.RunStart.year,
                  state.RunStart.month, state.RunStart.day, state.RunStart.hour,
                  state.RunStart.minute, state.RunStart.second);
    const std::string backup =
        MakeFreeName(platform::withTrailingBackslash(state.BackupFolder) + base + stamp);
    try {
        db::BackupDatabase(name, backup, database->ConnectParams().UserName(),
                           database->ConnectParams().Password());
    } catch (const std::exception &error) {
        throw std::runtime_error(kBackupFailed + error.what());
    }
    state.BackedUp = true;
    run.AddLine(kBackupMade + backup);
}

} // namespace

bool ExecuteModification(const Run &run, const std::string &statement, std::string &ErrorText)
{
    backUpBeforeTheFirstChange(run);
    ErrorText.clear();
    try {
        db::TDbQuery &query = run.components.DbQuery1;
        query.SQL().SetText(statement);
        query.ExecQuery();
        return true;
    } catch (const std::exception &error) {
        ErrorText = error.what();
        return false;
    }
}

} // namespace reconcile
