#include "FolderPrefetch.h"

#include "platform/Text.h"

#include <utility>

namespace reconcile {
namespace {

namespace fs = std::filesystem;

// Listings read ahead and not yet taken; beyond this the thread waits, so a
// huge library costs a bounded amount of memory.
constexpr size_t kMostWaiting = 4096;

} // namespace

FolderPrefetch::FolderPrefetch(std::string root, fs::path rootReal,
                               std::optional<fs::path> skipReal)
    : m_skipReal(std::move(skipReal))
{
    m_thread = std::thread([this, root = std::move(root), rootReal = std::move(rootReal)] {
        if (const auto identity = platform::folderIdentity(root))
            m_visited.insert(*identity);
        readTree(root, rootReal);
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    });
}

FolderPrefetch::~FolderPrefetch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

bool FolderPrefetch::ReadsAhead(const platform::FolderEntry &entry)
{
    return entry.kind == platform::EntryKind::Folder && !entry.symlink &&
           !entry.name.starts_with('.') && entry.name.find('?') == std::string::npos;
}

void FolderPrefetch::readTree(const std::string &folder, const fs::path &real)
{
    std::vector<platform::FolderEntry> listing = platform::listFolder(folder);
    std::vector<platform::FolderEntry> children;
    for (const platform::FolderEntry &entry : listing)
        if (ReadsAhead(entry))
            children.push_back(entry);
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stop || m_waiting.size() < kMostWaiting; });
        if (m_stop)
            return;
        m_waiting.emplace(folder, std::move(listing));
        m_changed.notify_all();
    }
    for (const platform::FolderEntry &entry : children) {
        if (m_stop)
            return;
        const fs::path childReal = real / fs::path(platform::ansiToUtf8(entry.name));
        if (m_skipReal && childReal == *m_skipReal)
            continue;
        const std::string child = folder + entry.name + "\\";
        const std::optional<platform::FolderIdentity> identity = platform::folderIdentity(child);
        if (identity && m_visited.insert(*identity).second)
            readTree(child, childReal);
    }
}

std::vector<platform::FolderEntry> FolderPrefetch::Listing(const std::string &folder)
{
    {
        std::unique_lock lock(m_mutex);
        // A full store means the thread is far ahead: a folder missing from
        // it was passed over and will not come.
        m_changed.wait(lock, [&] {
            return m_finished || m_waiting.count(folder) != 0 || m_waiting.size() >= kMostWaiting;
        });
        if (auto found = m_waiting.find(folder); found != m_waiting.end()) {
            std::vector<platform::FolderEntry> listing = std::move(found->second);
            m_waiting.erase(found);
            m_changed.notify_all();
            return listing;
        }
    }
    return platform::listFolder(folder);
}

} // namespace reconcile
