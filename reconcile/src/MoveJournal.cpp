#include "reconcile/MoveJournal.h"

#include "FileDigest.h"
#include "LibraryRoot.h"
#include "Relocation.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdio>
#include <stdexcept>

namespace reconcile {
namespace {

const std::string kHeader = "# Dorvil move journal: kind, source, target, size and SHA-256 "
                            "(folders: files inside); tab-separated, UTF-8";

std::vector<std::string> fieldsOf(const std::string &line)
{
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

struct Entry {
    bool folder = false;
    std::string source, target; // program paths
    uint64_t size = 0;          // files: bytes; folders: files inside
    std::string sha256;
};

std::vector<Entry> readJournal(const std::string &journal)
{
    const std::optional<std::string> text = platform::readWholeFile(journal);
    if (!text)
        throw std::runtime_error("cannot read the journal " + platform::ansiToUtf8(journal) + ": " +
                                 platform::ansiToUtf8(platform::lastErrorText()));
    std::vector<Entry> entries;
    bool headed = false;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos)
            end = text->size();
        std::string line = text->substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.empty())
            continue;
        if (line.starts_with('#')) {
            headed = headed || line == kHeader;
            continue;
        }
        const std::vector<std::string> fields = fieldsOf(line);
        Entry entry;
        entry.folder = fields[0] == "folder";
        const size_t expected = entry.folder ? 4 : 5;
        if (!headed || (fields[0] != "file" && fields[0] != "folder") || fields.size() != expected)
            throw std::runtime_error(platform::ansiToUtf8(journal) + " is no move journal (line " +
                                     std::to_string(lineNumber) + ")");
        entry.source = platform::utf8ToAnsi(fields[1]);
        entry.target = platform::utf8ToAnsi(fields[2]);
        try {
            entry.size = std::stoull(fields[3]);
        } catch (const std::exception &) {
            throw std::runtime_error(platform::ansiToUtf8(journal) + ": a bad count on line " +
                                     std::to_string(lineNumber));
        }
        if (!entry.folder)
            entry.sha256 = fields[4];
        entries.push_back(std::move(entry));
    }
    if (!headed)
        throw std::runtime_error(platform::ansiToUtf8(journal) + " is no move journal");
    return entries;
}

// The folder of the journal is the move folder: every folder a move made
// there lies below it.
void removeEmptyFoldersUpTo(std::string folder, const std::string &moveTo)
{
    const std::optional<std::filesystem::path> top = RealFolder(moveTo);
    while (top) {
        const std::optional<std::filesystem::path> real = RealFolder(folder);
        if (!real || *real == *top || !IsAtOrBelow(*real, *top) ||
            !platform::listFolder(folder).empty() || !platform::deleteEmptyFolder(folder))
            return;
        folder = std::string(FolderPart(WithoutEndSeparators(folder)));
    }
}

bool hasEntry(std::string_view path)
{
    return platform::fileExists(path) || platform::folderExists(path);
}

// Puts the parent folders of `source` back, as the move took them along or
// someone removed them since.
bool makeParent(const std::string &source)
{
    const std::string parent(FolderPart(WithoutEndSeparators(source)));
    return parent.empty() || platform::folderExists(parent) || platform::createFolders(parent);
}

} // namespace

uint64_t FilesInside(const std::string &folder)
{
    uint64_t files = 0;
    const std::string prefix = platform::withTrailingBackslash(folder);
    for (const platform::FolderEntry &entry : platform::listFolder(prefix)) {
        if (entry.kind == platform::EntryKind::Folder && !entry.symlink)
            files += FilesInside(prefix + entry.name);
        else if (entry.kind != platform::EntryKind::Folder)
            ++files;
    }
    return files;
}

MoveJournal::MoveJournal(std::string moveTo, const platform::DateTime &runStart)
    : m_moveTo(platform::withTrailingBackslash(std::move(moveTo))), m_runStart(runStart)
{
}

bool MoveJournal::Open()
{
    if (m_file)
        return true;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d-%02d-%02d", m_runStart.year,
                  m_runStart.month, m_runStart.day, m_runStart.hour, m_runStart.minute,
                  m_runStart.second);
    // Two runs started within one second keep a journal each.
    const std::string path = MakeFreeName(m_moveTo + "Dorvil-moves " + stamp + ".txt");
    if (platform::fileExists(path))
        return false;
    m_file = platform::File::open(path, platform::File::Mode::CreateOrTruncate);
    if (!m_file)
        return false;
    m_path = path;
    return append(kHeader);
}

bool MoveJournal::append(const std::string &line)
{
    const std::string text = line + "\n";
    return m_file && m_file->write(text.data(), text.size()) && m_file->flush();
}

bool MoveJournal::RecordFile(const std::string &source, const std::string &target, uint64_t size,
                             const std::string &sha256)
{
    return Open() &&
           append("file\t" + platform::ansiToUtf8(source) + "\t" + platform::ansiToUtf8(target) +
                  "\t" + std::to_string(size) + "\t" + sha256);
}

bool MoveJournal::RecordFolder(const std::string &source, const std::string &target, uint64_t files)
{
    return Open() && append("folder\t" + platform::ansiToUtf8(source) + "\t" +
                            platform::ansiToUtf8(target) + "\t" + std::to_string(files));
}

UndoReport UndoMoves(const std::string &journal)
{
    const std::vector<Entry> entries = readJournal(journal);
    const std::string moveTo(FolderPart(journal));
    UndoReport report;
    auto refuse = [&](const Entry &entry, const std::string &reason) {
        report.lines.push_back("not restored: " + platform::ansiToUtf8(entry.source) + ": " +
                               reason);
        ++report.refused;
    };
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const std::string target = platform::ansiToUtf8(entry->target);
        if (entry->folder) {
            if (!platform::folderExists(entry->target)) {
                if (platform::folderExists(entry->source))
                    ++report.alreadyBack;
                else
                    refuse(*entry, "the moved folder is no longer at " + target);
                continue;
            }
            if (FilesInside(entry->target) != entry->size) {
                refuse(*entry, target + " has changed since it was moved");
                continue;
            }
        } else {
            if (!platform::fileExists(entry->target)) {
                const std::optional<FileDigest> there = DigestOfFile(entry->source);
                if (there && there->size == entry->size && there->sha256 == entry->sha256)
                    ++report.alreadyBack;
                else
                    refuse(*entry, "the moved file is no longer at " + target);
                continue;
            }
            const std::optional<FileDigest> now = DigestOfFile(entry->target);
            if (!now || now->size != entry->size || now->sha256 != entry->sha256) {
                refuse(*entry, target + " has changed since it was moved");
                continue;
            }
        }
        if (hasEntry(WithoutEndSeparators(entry->source))) {
            refuse(*entry, "its place is taken");
            continue;
        }
        const bool moved =
            makeParent(entry->source) &&
            (entry->folder ? platform::moveFolder(WithoutEndSeparators(entry->target),
                                                  WithoutEndSeparators(entry->source))
                           : platform::moveFile(entry->target, entry->source));
        if (!moved) {
            refuse(*entry,
                   "cannot move it back: " + platform::ansiToUtf8(platform::lastErrorText()));
            continue;
        }
        report.lines.push_back("restored: " + platform::ansiToUtf8(entry->source));
        ++report.restored;
        removeEmptyFoldersUpTo(std::string(FolderPart(WithoutEndSeparators(entry->target))),
                               moveTo);
    }
    return report;
}

} // namespace reconcile
