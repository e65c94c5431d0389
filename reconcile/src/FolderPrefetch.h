#pragma once
// The library's folder listings, read ahead on a thread of their own while
// the database pass fetches the catalogue, so that the walk which follows
// finds them waiting instead of reading each itself. It reads the folders
// the walk enters by their own path, in the walk's order: plain sub-folders
// (no links, no names beginning with ".", none whose name stands for
// characters code page 1251 lacks), never the move folder, each real folder
// once. The walk reads every other listing itself.

#include "platform/FileSystem.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace reconcile {

class FolderPrefetch {
public:
    /// Starts reading at `root`, a program path ending in a backslash that
    /// really is `rootReal`; nothing at or below `skipReal` is read.
    FolderPrefetch(std::string root, std::filesystem::path rootReal,
                   std::optional<std::filesystem::path> skipReal);
    /// Stops reading and waits for the thread.
    ~FolderPrefetch();
    FolderPrefetch(const FolderPrefetch &) = delete;
    FolderPrefetch &operator=(const FolderPrefetch &) = delete;

    /// Whether the walk reaches this entry of a read-ahead folder by the
    /// folder's own path, so that its listing is read ahead as well.
    static bool ReadsAhead(const platform::FolderEntry &entry);

    /// The listing of a folder the walk enters, as platform::listFolder
    /// gives it: the one read ahead, or, when the thread passed the folder
    /// over, read now.
    std::vector<platform::FolderEntry> Listing(const std::string &folder);

private:
    void readTree(const std::string &folder, const std::filesystem::path &real);

    const std::optional<std::filesystem::path> m_skipReal;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unordered_map<std::string, std::vector<platform::FolderEntry>> m_waiting;
    std::set<platform::FolderIdentity> m_visited;
    bool m_finished = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

} // namespace reconcile
