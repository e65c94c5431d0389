// dorvil: the window over a library manager's folder.

#include "MainWindow.h"
#include "QtUserInterface.h"

#include "app/CommandLine.h"
#include "platform/Terminal.h"

#include <QApplication>
#include <QTimer>

#include <iostream>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    std::vector<std::string> arguments;
    for (const QString &argument : QApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());
    app::CommandLine options;
    try {
        options = app::parseCommandLine(arguments, app::Program::Window);
    } catch (const std::invalid_argument &error) {
        std::cerr << "dorvil: " << error.what() << '\n' << app::usage(app::Program::Window);
        return 2;
    }
    app::applyApplicationLook();
    app::QtUserInterface ui;
    platform::ScopedUserInterface scopedUi(ui);
    app::MainWindow window(options.programDir);
    // An interrupt or a termination signal (the session ending, say) closes
    // the window as its close box does: a running comparison stops first,
    // and the log and the settings are saved. A second one ends at once.
    platform::catchInterrupts("dorvil: closing; the log and the settings are still saved. "
                              "Interrupt again to quit at once, saving nothing.\n");
    QTimer interrupts;
    QObject::connect(&interrupts, &QTimer::timeout, &window, [&window] {
        if (platform::takeInterruptRequest() != 0)
            window.close();
    });
    interrupts.start(100);
    window.show();
    return QApplication::exec();
}
