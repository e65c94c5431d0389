// dorvil-cli: the checks without a window, for scheduled runs and scripts.
// It drives the same core as the window: start-up and its completion, each
// check as if its button had been clicked, then the shutdown.

#include "Console.h"
#include "ReportJson.h"

#include "app/CommandLine.h"
#include "app/TForm1.h"
#include "reconcile/MoveJournal.h"

#include "platform/Terminal.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <fstream>
#include <iostream>

namespace {

const char *const kStopping = "dorvil-cli: stopping; the log and the settings are still saved. "
                              "Interrupt again to quit at once, saving nothing.\n";

const std::string kCompareUnavailable =
    "compare: the library keeps its books inside the database (WorkMode 0), "
    "so there are no files to compare";

/// Runs one check; false when it failed or could not run.
bool runCheck(app::TForm1 &form, app::Console &console, app::Check check)
{
    if (form.Report) {
        form.Report->checks.emplace_back();
        form.Report->checks.back().name = app::checkName(check);
    }
    if (check == app::Check::Compare && form.WorkMode == 0) {
        console.showError(kCompareUnavailable);
        return false;
    }
    console.StartCheck(app::checkName(check));
    bool ranToEnd = false;
    switch (check) {
    case app::Check::Compare:
        ranToEnd = form.btnCompareClick();
        break;
    case app::Check::DuplicateFiles:
        ranToEnd = form.btnDoubleSearchClick();
        break;
    case app::Check::DuplicateLinks:
        ranToEnd = form.btnDoubleBookAutorRelClick();
        break;
    }
    console.StartCheck({});
    if (form.Report)
        form.Report->checks.back().ended = ranToEnd;
    return ranToEnd;
}

bool writeReport(const std::string &file, const reconcile::RunReport &report)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << app::reportJson(report);
    out.close();
    if (!out)
        std::cerr << "dorvil-cli: cannot write the report " << file << '\n';
    return bool(out);
}

/// Takes a journal's moves back; 1 when one could not be.
int undo(const std::string &journal)
{
    try {
        const reconcile::UndoReport report = reconcile::UndoMoves(journal);
        for (const std::string &line : report.lines)
            std::cout << line << '\n';
        std::cout << "restored " << report.restored << ", already back " << report.alreadyBack
                  << ", not restored " << report.refused << '\n';
        return report.refused == 0 ? 0 : 1;
    } catch (const std::exception &error) {
        std::cerr << "dorvil-cli: " << error.what() << '\n';
        return 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    app::CommandLine options;
    try {
        options = app::parseCommandLine({argv + 1, argv + argc}, app::Program::Console);
    } catch (const std::invalid_argument &error) {
        std::cerr << "dorvil-cli: " << error.what() << '\n' << app::usage(app::Program::Console);
        return 2;
    }
    if (options.help) {
        std::cout << app::usage(app::Program::Console);
        return 0;
    }
    if (options.version) {
        std::cout << "dorvil-cli " DORVIL_VERSION "\n";
        return 0;
    }

    if (!options.undoJournal.empty())
        return undo(options.undoJournal);

    app::Console console(std::cout, std::cerr, platform::standardErrorIsTerminal());
    platform::ScopedUserInterface scopedUi(console);
    platform::catchInterrupts(kStopping);
    int status = 0;
    reconcile::RunReport report;
    {
        app::TForm1 form(console, options.programDir);
        if (!options.reportFile.empty())
            form.Report = &report;
        console.SetStopHandler([&form] { form.btnStopClick(); });
        if (form.FormShow()) {
            if (!options.backupDir.empty())
                form.BackupFolder = options.backupDir;
            for (app::Check check : options.checks) {
                if (!runCheck(form, console, check))
                    status = 1;
                // A check that processes no events has not looked yet.
                console.processEvents();
                if (console.InterruptSignal() != 0)
                    break;
            }
        } else {
            status = 1;
        }
        if (!form.FormDestroy())
            status = 1;
    }
    if (!options.reportFile.empty() && !writeReport(options.reportFile, report))
        status = 1;
    if (console.InterruptSignal() != 0)
        return 128 + console.InterruptSignal();
    return status;
}
