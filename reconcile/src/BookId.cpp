#include "BookId.h"

#include "LibraryRoot.h"

#include "db/Strings.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ZipErrors.h"
#include "zip/ZipReader.h"

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
const std::string kOpenTag = "<id>";
const std::string kCloseTag = "</id>";

bool isFb2Document(const std::string &entryFileName)
{
    const size_t dot = entryFileName.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : entryFileName.substr(dot);
    return platform::upperLatin(extension) == ".FB2";
}

// The reader keeps an entry's read-only attribute, and it would neither
// replace nor let anyone delete such a copy, so the attribute goes first.
void discardDocument(const std::string &path)
{
    if (!platform::fileExists(path))
        return;
    platform::setReadOnly(path, false);
    platform::deleteFile(path);
}

// The document's lines go through ScratchList and are joined again with CR
// LF, so a lone CR or LF inside the identifier comes back as CR LF; a zero
// byte (a UTF-16 document has one early) ends the text.
bool findId(std::vector<std::string> &scratchList, const std::string &path, std::string &FileId)
{
    const std::optional<std::string> bytes = platform::readWholeFile(path);
    if (!bytes)
        throw zip::EFOpenError(path, platform::lastErrorText());
    const size_t zero = bytes->find('\0');
    const std::string_view content(bytes->data(), zero == std::string::npos ? bytes->size() : zero);
    scratchList = db::SplitLines(content);
    std::string text;
    text.reserve(content.size() + 2 * scratchList.size());
    for (const std::string &line : scratchList)
        text.append(line).append("\r\n");
    scratchList.clear();

    const size_t open = text.find(kOpenTag);
    const size_t close = text.find(kCloseTag);
    if (open == std::string::npos || close == std::string::npos || close < open) {
        FileId = kNoId;
        return false;
    }
    FileId = text.substr(open + kOpenTag.size(), close - open - kOpenTag.size());
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

    if (!run.state.ScratchList)
        run.state.ScratchList.emplace();
    std::string document;
    bool found = false;
    try {
        reader.ReadDirectory();
        for (int i = 0; i < reader.EntryCount(); ++i) {
            if (isFb2Document(reader.EntryFileName(i))) {
                document = run.state.TempDir + reader.EntryFileName(i);
                reader.SetEntrySelected(i, true);
                break;
            }
        }
        if (document.empty()) {
            FileId = kNoDocument;
        } else {
            // A copy left by an earlier run could be read-only and block
            // the extraction.
            discardDocument(document);
            if (reader.ExtractSelected() != 1)
                FileId = kUnzipError;
            else
                found = findId(*run.state.ScratchList, document, FileId);
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
