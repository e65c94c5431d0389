// Program entry. Until the window arrives the program runs its start-up and
// shutdown on the console, which checks a library manager folder's settings.

#include "app/CommandLine.h"
#include "app/TForm1.h"

#include <iostream>

int main(int argc, char **argv)
{
    app::CommandLine options;
    try {
        options = app::parseCommandLine({argv + 1, argv + argc});
    } catch (const std::invalid_argument &error) {
        std::cerr << "dorvil: " << error.what() << "\nusage: dorvil [--dir FOLDER]\n";
        return 2;
    }
    app::TForm1 form(options.programDir);
    if (!form.StartUp())
        return 1;
    return form.ShutDown() ? 0 : 1;
}
