#include "platform/Locale.h"

#include <langinfo.h>
#include <locale.h>

#include <string>

namespace platform {
namespace {

// Turns a strftime format into the picture letters the program uses.
std::string pictureFromStrftime(const std::string &format)
{
    std::string picture;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            picture += format[i];
            continue;
        }
        switch (format[++i]) {
        case 'd':
            picture += "dd";
            break;
        case 'e':
            picture += "d";
            break;
        case 'm':
            picture += "MM";
            break;
        case 'Y':
            picture += "yyyy";
            break;
        case 'y':
            picture += "yy";
            break;
        case 'H':
            picture += "HH";
            break;
        case 'k':
            picture += "H";
            break;
        case 'I':
            picture += "hh";
            break;
        case 'l':
            picture += "h";
            break;
        case 'M':
            picture += "mm";
            break;
        case 'S':
            picture += "ss";
            break;
        case 'p':
            picture += "tt";
            break;
        case 'D':
            picture += "MM/dd/yy";
            break;
        case 'F':
            picture += "yyyy-MM-dd";
            break;
        case 'T':
            picture += "HH:mm:ss";
            break;
        case 'R':
            picture += "HH:mm";
            break;
        case 'r':
            picture += "hh:mm:ss tt";
            break;
        case '%':
            picture += '%';
            break;
        default:
            break; // names and other fields the program never shows
        }
    }
    return picture;
}

} // namespace

LocaleFormats userLocaleFormats()
{
    LocaleFormats formats;
    locale_t user = newlocale(LC_ALL_MASK, "", nullptr);
    if (!user)
        user = newlocale(LC_ALL_MASK, "C", nullptr);
    if (!user)
        return formats;
    formats.shortDateFormat = pictureFromStrftime(nl_langinfo_l(D_FMT, user));
    formats.longTimeFormat = pictureFromStrftime(nl_langinfo_l(T_FMT, user));
    const char *radix = nl_langinfo_l(RADIXCHAR, user);
    formats.decimalSeparator = radix && radix[0] && !radix[1] ? radix[0] : '.';
    freelocale(user);
    return formats;
}

} // namespace platform
