// dorvil: the window over a library manager's folder.

#include "MainWindow.h"
#include "QtUserInterface.h"

#include "app/CommandLine.h"

#include <QApplication>

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
    window.show();
    return QApplication::exec();
}
