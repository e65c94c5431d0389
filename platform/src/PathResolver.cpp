#include "PathResolver.h"

#include "FolderStream.h"

#include "platform/Text.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::detail {
namespace {

namespace fs = std::filesystem;

struct ListedName {
    std::string folded; ///< upper-cased 1251 name
    std::string native;
    bool lossy = false; ///< the native name has characters 1251 lacks
};

// One folder's entries in the order of their folded names. An entry spelt
// exactly as asked has the asked name's folded name, so one search finds
// both the exact and the case-insensitive candidates.
struct Listing {
    std::vector<ListedName> byFolded;

    std::pair<std::vector<ListedName>::const_iterator, std::vector<ListedName>::const_iterator>
    candidates(const std::string &folded) const
    {
        return std::equal_range(byFolded.begin(), byFolded.end(), folded, FoldedOrder{});
    }

    /// The entry of exactly this native name, or the end.
    std::vector<ListedName>::const_iterator find(const ListedName &entry) const
    {
        auto [first, last] = candidates(entry.folded);
        auto found = std::find_if(
            first, last, [&](const ListedName &item) { return item.native == entry.native; });
        return found != last ? found : byFolded.end();
    }

    struct FoldedOrder {
        bool operator()(const ListedName &a, const std::string &b) const { return a.folded < b; }
        bool operator()(const std::string &a, const ListedName &b) const { return a < b.folded; }
        bool operator()(const ListedName &a, const ListedName &b) const
        {
            return a.folded < b.folded;
        }
    };
};

ListedName listedEntry(std::string native)
{
    ListedName entry;
    entry.folded = upperAnsi(listedName(native, entry.lossy));
    entry.native = std::move(native);
    return entry;
}

std::unique_ptr<Listing> readListing(const fs::path &folder)
{
    auto listing = std::make_unique<Listing>();
    FolderStream dir(folder.empty() ? fs::path(".") : folder);
    if (!dir.isOpen())
        return listing;
    while (dirent *entry = dir.next()) {
        std::string native = entry->d_name;
        if (native == "." || native == "..")
            continue;
        listing->byFolded.push_back(listedEntry(std::move(native)));
    }
    std::sort(listing->byFolded.begin(), listing->byFolded.end(), Listing::FoldedOrder{});
    return listing;
}

class ListingCache {
public:
    const Listing &listing(const fs::path &folder)
    {
        auto &slot = m_listings[folder.native()];
        if (!slot)
            slot = readListing(folder);
        return *slot;
    }

    void forget(const fs::path &folder) { m_listings.erase(folder.native()); }

    /// The cached listing of a folder, if there is one.
    Listing *cached(const fs::path &folder)
    {
        auto found = m_listings.find(folder.native());
        return found != m_listings.end() ? found->second.get() : nullptr;
    }

    void forgetTree(const fs::path &folder)
    {
        std::string prefix = folder.native() + '/';
        std::erase_if(m_listings, [&](const auto &item) {
            return item.first == folder.native() || item.first.starts_with(prefix);
        });
    }

    void clear() { m_listings.clear(); }

private:
    std::unordered_map<std::string, std::unique_ptr<Listing>> m_listings;
};

std::mutex g_mutex;
ListingCache g_cache;

std::vector<std::string> splitComponents(std::string_view path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool exists(const fs::path &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

enum class Match { Found, Absent, Ambiguous };

// Picks the entry of `folder` that `ansiName` names. A name that could stand
// for a listed entry whose native name 1251 cannot spell is ambiguous: the
// caller must not reach any file through it.
Match findEntry(const fs::path &folder, const std::string &ansiName, std::string &native)
{
    const Listing &listing = g_cache.listing(folder);
    auto [first, last] = listing.candidates(upperAnsi(ansiName));
    if (std::any_of(first, last, [](const ListedName &item) { return item.lossy; }))
        return Match::Ambiguous;
    if (first == last)
        return Match::Absent;
    std::string exact = ansiToUtf8(ansiName);
    auto spelt =
        std::find_if(first, last, [&](const ListedName &item) { return item.native == exact; });
    // Several spellings differing only in case: take the first by name so
    // that the choice does not depend on the listing order.
    native = spelt != last ? spelt->native
                           : std::min_element(first, last, [](const auto &a, const auto &b) {
                                 return a.native < b.native;
                             })->native;
    return Match::Found;
}

} // namespace

std::string listedName(const std::string &native, bool &lossy)
{
    std::string ansi;
    lossy = !utf8ToAnsiExact(native, ansi);
    if (ansi.find('\\') != std::string::npos) {
        std::replace(ansi.begin(), ansi.end(), '\\', '?');
        lossy = true;
    }
    return ansi;
}

namespace {

std::string directSpelling(std::string_view programPath)
{
    std::string direct = ansiToUtf8(programPath);
    std::replace(direct.begin(), direct.end(), '\\', '/');
    while (direct.size() > 1 && direct.back() == '/')
        direct.pop_back();
    return direct;
}

// A '?' may stand for a character 1251 cannot spell, so such paths always go
// through the listings.
bool mayBeSpeltDirectly(std::string_view programPath)
{
    return programPath.find('?') == std::string_view::npos;
}

bool isFolder(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// `absent`, when given, is set when a listing shows that nothing is there.
fs::path resolveThroughListings(std::string_view programPath, bool *absent = nullptr)
{
    bool absolute = !programPath.empty() && (programPath[0] == '\\' || programPath[0] == '/');
    fs::path resolved = absolute ? fs::path("/") : fs::path();
    // A name not spelt as on disk mostly lies in a folder that is: only the
    // last component then needs a listing. A folder listed already (the
    // temporary folder of the extractions, say) needs no stat to tell.
    std::lock_guard lock(g_mutex);
    std::string_view unresolved = programPath;
    const size_t lastSeparator = programPath.find_last_of("\\/");
    if (mayBeSpeltDirectly(programPath) && lastSeparator != std::string_view::npos &&
        lastSeparator > 0) {
        std::string folder = directSpelling(programPath.substr(0, lastSeparator));
        if (g_cache.cached(folder) || isFolder(folder)) {
            resolved = std::move(folder);
            unresolved = programPath.substr(lastSeparator + 1);
        }
    }
    auto parts = splitComponents(unresolved);
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string &part = parts[i];
        std::string native;
        Match match = part == "." || part == ".." ? (native = part, Match::Found)
                                                  : findEntry(resolved, part, native);
        if (match == Match::Ambiguous)
            return {};
        if (match == Match::Absent) {
            if (absent)
                *absent = true;
            // Nothing below an absent component can exist: keep the rest as spelt.
            for (; i < parts.size(); ++i)
                resolved /= ansiToUtf8(parts[i]);
            return resolved;
        }
        resolved /= native;
    }
    return resolved;
}

} // namespace

fs::path resolvePath(std::string_view programPath)
{
    // The common case, an existing path spelt exactly, costs one system call.
    std::string direct = directSpelling(programPath);
    if (mayBeSpeltDirectly(programPath) && exists(direct))
        return direct;
    return resolveThroughListings(programPath);
}

bool statResolved(std::string_view programPath, struct stat &info)
{
    fs::path native;
    return statNative(programPath, native, info);
}

bool statNative(std::string_view programPath, fs::path &native, struct stat &info)
{
    // Most calls name an existing file spelt exactly, and most files are no
    // links: the lookup is then one lstat. A dangling link exists as spelt:
    // nothing to find.
    if (mayBeSpeltDirectly(programPath)) {
        std::string direct = directSpelling(programPath);
        if (lstat(direct.c_str(), &info) == 0) {
            native = std::move(direct);
            return !S_ISLNK(info.st_mode) || stat(native.c_str(), &info) == 0;
        }
    }
    bool absent = false;
    native = resolveThroughListings(programPath, &absent);
    if (native.empty() || absent) {
        errno = ENOENT;
        return false;
    }
    return stat(native.c_str(), &info) == 0;
}

void folderChanged(const fs::path &nativeFolder)
{
    std::lock_guard lock(g_mutex);
    g_cache.forget(nativeFolder);
}

// A folder the run writes into again and again (the temporary folder of the
// extractions) keeps its listing: the entry the run made or removed is
// entered into it or taken out, instead of the listing being read anew.
void entryAdded(const fs::path &nativeEntry)
{
    std::lock_guard lock(g_mutex);
    if (Listing *listing = g_cache.cached(nativeEntry.parent_path())) {
        ListedName entry = listedEntry(nativeEntry.filename().native());
        if (listing->find(entry) == listing->byFolded.end())
            listing->byFolded.insert(listing->candidates(entry.folded).second, std::move(entry));
    }
}

void entryRemoved(const fs::path &nativeEntry)
{
    std::lock_guard lock(g_mutex);
    if (Listing *listing = g_cache.cached(nativeEntry.parent_path())) {
        auto found = listing->find(listedEntry(nativeEntry.filename().native()));
        if (found != listing->byFolded.end())
            listing->byFolded.erase(found);
    }
}

void folderTreeChanged(const fs::path &nativeFolder)
{
    std::lock_guard lock(g_mutex);
    g_cache.forgetTree(nativeFolder);
}

void forgetAllListings()
{
    std::lock_guard lock(g_mutex);
    g_cache.clear();
}

} // namespace platform::detail
