#include "CharacterSets.h"

#include "db/FbDatabase.h"
#include "platform/Text.h"

namespace db {

TextEncoding attachmentEncoding(const TFbDatabase &database)
{
    if (database.UnicodeAttachment())
        return TextEncoding::Utf8;
    if (database.Koi8Attachment())
        return TextEncoding::Koi8r;
    return TextEncoding::CodePage;
}

std::string toProgramText(std::string text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return platform::utf8ToAnsi(text);
    case TextEncoding::Koi8r:
        return platform::koi8rToAnsi(text);
    case TextEncoding::CodePage:
        break;
    }
    return text;
}

} // namespace db
