#include "db/BackupDatabase.h"

#include "FbClient.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace db {
namespace {

using Bytes = std::vector<char>;

void addByte(Bytes &block, int value)
{
    block.push_back(static_cast<char>(value));
}

// Attach parameters carry one-byte lengths, start parameters two-byte ones.
void addShortString(Bytes &block, int tag, std::string_view text)
{
    addByte(block, tag);
    addByte(block, static_cast<int>(std::min<size_t>(text.size(), 255)));
    block.insert(block.end(), text.begin(), text.begin() + std::min<size_t>(text.size(), 255));
}

void addString(Bytes &block, int tag, std::string_view text)
{
    if (text.size() > 0xFFFF)
        throw std::runtime_error("a path too long for the backup: " + std::string(text));
    addByte(block, tag);
    addByte(block, static_cast<int>(text.size() & 0xFF));
    addByte(block, static_cast<int>(text.size() >> 8));
    block.insert(block.end(), text.begin(), text.end());
}

// "host:path" names a server; a local path (on Windows one beginning with a
// drive letter) the embedded engine.
std::pair<std::string, std::string> serverAndPath(const std::string &database)
{
    const size_t colon = database.find(':');
    if (colon == std::string::npos || colon <= 1)
        return {"", database};
    return {database.substr(0, colon), database.substr(colon + 1)};
}

class ServiceAttachment {
public:
    ServiceAttachment(const IFbClientLibrary &library, const std::string &server,
                      const std::string &user, const std::string &password)
        : m_library(library)
    {
        const std::string service = server.empty() ? "service_mgr" : server + ":service_mgr";
        Bytes spb;
        addByte(spb, isc_spb_version);
        addByte(spb, isc_spb_current_version);
        addShortString(spb, isc_spb_user_name, user);
        addShortString(spb, isc_spb_password, password);
        if (m_library.isc_service_attach(StatusVector(), 0, const_cast<char *>(service.c_str()),
                                         &m_handle, static_cast<unsigned short>(spb.size()),
                                         spb.data()) != 0)
            RaiseServerError(m_library, nullptr);
    }
    ~ServiceAttachment()
    {
        if (m_handle != 0)
            m_library.isc_service_detach(StatusVector(), &m_handle);
    }
    ServiceAttachment(const ServiceAttachment &) = delete;
    ServiceAttachment &operator=(const ServiceAttachment &) = delete;

    void start(Bytes request)
    {
        if (m_library.isc_service_start(StatusVector(), &m_handle, nullptr,
                                        static_cast<unsigned short>(request.size()),
                                        request.data()) != 0)
            RaiseServerError(m_library, nullptr);
    }

    /// The service's next line of output; nothing once it has finished.
    std::optional<std::string> nextLine()
    {
        char ask = isc_info_svc_line;
        char answer[4096];
        if (m_library.isc_service_query(StatusVector(), &m_handle, nullptr, 0, nullptr, 1, &ask,
                                        sizeof answer, answer) != 0)
            RaiseServerError(m_library, nullptr);
        if (answer[0] != isc_info_svc_line)
            return std::nullopt;
        const auto length = static_cast<size_t>(static_cast<unsigned char>(answer[1]) |
                                                static_cast<unsigned char>(answer[2]) << 8);
        if (length == 0 || length > sizeof answer - 3)
            return std::nullopt;
        return std::string(answer + 3, length);
    }

private:
    const IFbClientLibrary &m_library;
    isc_svc_handle m_handle = 0;
};

} // namespace

void BackupDatabase(const std::string &database, const std::string &backupFile,
                    const std::string &user, const std::string &password)
{
    if (platform::fileExists(backupFile) || platform::folderExists(backupFile))
        throw std::runtime_error("the backup file exists already: " + backupFile);
    const std::shared_ptr<IFbClientLibrary> library = AcquireClientLibrary(kDefaultLibraryName);
    const auto [server, path] = serverAndPath(database);
    ServiceAttachment service(*library, server, user, password);
    Bytes request;
    addByte(request, isc_action_svc_backup);
    addString(request, isc_spb_dbname, path);
    // The engine writes the file itself, so it gets the native name.
    addString(request, isc_spb_bkp_file, platform::nativePath(backupFile).string());
    addByte(request, isc_spb_verbose);
    service.start(std::move(request));
    // The service reports a failure through the status of the query that
    // follows it, and ends its output with an empty line either way.
    std::string last;
    while (const std::optional<std::string> line = service.nextLine())
        last = *line;
    platform::forgetFolderListings();
    if (!platform::fileExists(backupFile))
        throw std::runtime_error("the backup of " + database + " did not complete" +
                                 (last.empty() ? std::string() : ": " + last));
}

} // namespace db
