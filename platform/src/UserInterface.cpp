#include "platform/UserInterface.h"

#include "platform/Text.h"

#include <iostream>

namespace platform {
namespace {

ConsoleUserInterface g_console;
UserInterface *g_current = &g_console;

void writeLine(std::string_view prefix, std::string_view text)
{
    std::cerr << prefix << ansiToUtf8(text) << std::endl;
}

} // namespace

UserInterface &userInterface()
{
    return *g_current;
}

ScopedUserInterface::ScopedUserInterface(UserInterface &ui) : m_previous(g_current)
{
    g_current = &ui;
}

ScopedUserInterface::~ScopedUserInterface()
{
    g_current = m_previous;
}

int firstButtonAnswer(unsigned flags)
{
    switch (flags & 0x0F) {
    case mb::YesNo:
    case mb::YesNoCancel:
        return mb::IdYes;
    default:
        return mb::IdOk;
    }
}

int ConsoleUserInterface::messageBox(std::string_view text, std::string_view caption,
                                     unsigned flags)
{
    writeLine(ansiToUtf8(caption) + ": ", text);
    return firstButtonAnswer(flags);
}

void ConsoleUserInterface::showMessage(std::string_view text)
{
    writeLine("", text);
}

void ConsoleUserInterface::showError(std::string_view text)
{
    writeLine("Error: ", text);
}

std::optional<std::string> ConsoleUserInterface::chooseFolder(std::string_view, std::string_view)
{
    return std::nullopt;
}

} // namespace platform
