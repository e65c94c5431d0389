#include "BookId.h"

#include "LibraryRoot.h"

#include "platform/FileSystem.h"
#include "platform/ScopeExit.h"
#include "platform/Text.h"
#include "zip/ZipErrors.h"
#include "zip/ZipReader.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>

namespace reconcile {
namespace {

const std::string kFilePrefix = platform::utf8ToAnsi("файл ");
const std::string kDoesNotExist = platform::utf8ToAnsi(" не существует");
const std::string kNoDocument = platform::utf8ToAnsi("Ошибка чтения zip-архива");
const std::string kUnzipError = "Unzip error";
const std::string kNoId = platform::utf8ToAnsi("Не могу найти id");
const std::string kTooLarge = platform::utf8ToAnsi("Файл fb2 слишком велик");
// Far beyond any real book; an entry declaring more is a ZIP bomb or a lie,
// and is never written to the temporary folder. (An entry that expands
// beyond its declared size is cut off there by the reader.)
constexpr uint64_t kLargestDocument = uint64_t(512) << 20;
const std::string kOpenTag = "<id>";
const std::string kCloseTag = "</id>";

bool isFb2Document(const std::string &entryFileName)
{
    const size_t dot = entryFileName.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : entryFileName.substr(dot);
    return platform::upperLatin(extension) == ".FB2";
}

// The reader keeps an entry's read-only attribute, and it would neither
// replace nor let anyone delete such a copy, so the attribute goes first
// when it is in the way.
void discardDocument(const std::string &path)
{
    if (platform::deleteFile(path) || !platform::fileExists(path))
        return;
    platform::setReadOnly(path, false);
    platform::deleteFile(path);
}

// Every line break (CR LF, a lone CR, a lone LF) as CR LF, as the lines of
// the document read once they are joined again.
std::string withCrLfBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

// The identifier reads as it would in the document's lines joined again
// with CR LF: a lone CR or LF inside it comes back as CR LF. The tags hold no
// line break, so they are found in the document as it is. A zero byte (a
// UTF-16 document has one early) ends the text.
bool findId(const std::string &path, std::string &FileId)
{
    const std::optional<std::string> bytes = platform::readWholeFile(path);
    if (!bytes)
        throw zip::EFOpenError(path, platform::lastErrorText());
    const size_t zero = bytes->find('\0');
    const std::string_view text(bytes->data(), zero == std::string::npos ? bytes->size() : zero);

    const size_t open = text.find(kOpenTag);
    const size_t close = text.find(kCloseTag);
    if (open == std::string::npos || close == std::string::npos || close < open) {
        FileId = kNoId;
        return false;
    }
    FileId = withCrLfBreaks(text.substr(open + kOpenTag.size(), close - open - kOpenTag.size()));
    return true;
}

} // namespace

bool ExtractBookId(const Run &run, const std::string &fileName, std::string &FileId)
{
    FileId.clear();
    zip::TZipReader &reader = run.components.ZipReader1;
    const std::string zipName = run.state.MountPoint + fileName;
    // A name that climbs out of the library names no library file, so no
    // archive outside it is ever opened on the database's word.
    if (!StaysInside(fileName)) {
        FileId = kFilePrefix + zipName + kDoesNotExist;
        return false;
    }
    reader.SetDestDir(run.state.TempDir);
    reader.SetZipName(zipName);
    if (!platform::fileExists(reader.ZipName())) {
        FileId = kFilePrefix + reader.ZipName() + kDoesNotExist;
        return false;
    }

    std::string document;
    int selected = -1;
    bool found = false;
    // The directory and the extraction share one opening of the archive,
    // and it is closed before anyone may move it.
    reader.SetKeepZipOpen(true);
    const platform::ScopeExit closeArchive([&reader] {
        reader.SetKeepZipOpen(false);
        reader.CloseArchive();
    });
    try {
        reader.ReadDirectory();
        for (int i = 0; i < reader.EntryCount(); ++i) {
            if (isFb2Document(reader.EntryFileName(i))) {
                document = run.state.TempDir + reader.EntryFileName(i);
                selected = i;
                break;
            }
        }
        if (document.empty()) {
            FileId = kNoDocument;
        } else if (reader.EntryInfo(selected).uncompressedSize() > kLargestDocument) {
            FileId = kTooLarge;
        } else {
            reader.SetEntrySelected(selected, true);
            // A copy left by an earlier run could be read-only and block
            // the extraction.
            if (platform::fileExists(document))
                discardDocument(document);
            if (reader.ExtractSelected() != 1) {
                FileId = kUnzipError;
            } else {
                // The scratch list is where the document's lines are kept
                // while they are read; it is left empty.
                run.state.ScratchList.emplace();
                found = findId(document, FileId);
            }
        }
    } catch (const std::exception &error) {
        FileId = error.what();
        found = false;
    }
    // One document at a time: keeping every extracted book until exit fills
    // the disk on a large library.
    if (!document.empty())
        discardDocument(document);
    return found;
}

} // namespace reconcile
