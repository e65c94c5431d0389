#pragma once
// The program's 1251 text to and from Qt's strings.

#include "platform/Text.h"

#include <QString>

#include <string>
#include <string_view>

namespace app {

inline QString fromAnsi(std::string_view ansi)
{
    return QString::fromStdString(platform::ansiToUtf8(ansi));
}

inline std::string toAnsi(const QString &text)
{
    return platform::utf8ToAnsi(text.toStdString());
}

} // namespace app
