#pragma once
// Character sets by the ids the server reports for columns and attachments,
// and the one conversion of their text into the program's code page. The
// two server lines share the low ids but part ways above them: 64 is KOI8-U
// on one and a two-byte Unicode set on the other, so an id is read together
// with the server it came from.

#include <string>

namespace db {

class TFbDatabase;

namespace charsets {

constexpr int kNone = 0;
/// Ids above this one name a real character set (0 is NONE, 1 OCTETS).
constexpr int kOctets = 1;
/// Three bytes a character on both server lines.
constexpr int kUnicodeFss = 3;
/// UTF-8 on Firebird (four bytes a character); one byte on the other line.
constexpr int kUtf8 = 4;
constexpr int kKoi8r = 63;
constexpr int kKoi8u = 64;
/// The other server line's Unicode sets, known from its version 8.
constexpr int kOtherLineUnicodeBe = 8;  ///< two bytes a character
constexpr int kOtherLineUtf8 = 59;      ///< four bytes a character
constexpr int kOtherLineUnicodeLe = 64; ///< two bytes a character

} // namespace charsets

/// How text from the server is encoded, as far as the program converts it.
enum class TextEncoding { CodePage, Utf8, Koi8r };

/// The encoding the attachment's character set gives every text: UTF-8 for
/// a Unicode attachment, KOI8-R for a KOI8 one, else the program's own.
TextEncoding attachmentEncoding(const TFbDatabase &database);
/// Text from the server in the program's code page.
std::string toProgramText(std::string text, TextEncoding encoding);

} // namespace db
