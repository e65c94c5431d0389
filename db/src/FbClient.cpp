#include "FbClient.h"

#include "db/Component.h"
#include "db/FbDatabase.h"
#include "db/FbErrors.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace db {

ISC_STATUS *StatusVector()
{
    thread_local ISC_STATUS_ARRAY status{};
    return status;
}

void IFbClientLibrary::throwProcedureNotFound(const char *name) const
{
    throw std::runtime_error(
        FormatText("Can't find procedure %s in %s", {std::string_view(name), m_libraryName}));
}

namespace {

class TFbClientLibrary final : public IFbClientLibrary {
public:
    explicit TFbClientLibrary(const std::string &libraryName) : IFbClientLibrary(libraryName)
    {
        m_module = platform::DynamicLibrary::load(libraryName);
        if (!m_module)
            throw std::runtime_error(FormatText("Can't load library %s ", {libraryName}));
#define DORVIL_FB_RESOLVE(name) m_entries.name = required<fbentry::name>(#name);
        DORVIL_FB_REQUIRED_ENTRIES(DORVIL_FB_RESOLVE)
        m_entries.isc_rollback_retaining =
            optional<fbentry::isc_rollback_retaining>("isc_rollback_retaining");
        m_majorVersion = m_entries.isc_rollback_retaining != nullptr ? 6 : 5;
        m_minorVersion = 0;
        if (m_entries.isc_rollback_retaining != nullptr) {
            DORVIL_FB_LEVEL6_ENTRIES(DORVIL_FB_RESOLVE)
        }
        m_entries.isc_get_client_version =
            optional<fbentry::isc_get_client_version>("isc_get_client_version");
        if (m_entries.isc_get_client_version != nullptr) {
            DORVIL_FB_VERSION_ENTRIES(DORVIL_FB_RESOLVE)
            m_majorVersion = m_entries.isc_get_client_major_version();
            m_minorVersion = m_entries.isc_get_client_minor_version();
#define DORVIL_FB_PROBE(name) m_entries.name = optional<fbentry::name>(#name);
            DORVIL_FB_BATCH_ENTRIES(DORVIL_FB_PROBE)
#undef DORVIL_FB_PROBE
        }
#undef DORVIL_FB_RESOLVE
        keepShutdownOnSignalsToTheProgram();
    }

private:
    // A client library with the engine inside shuts every connection down
    // on the first interrupt or termination signal, so that a running check
    // would end with "Connection shutdown" instead of stopping as its
    // program decides (dorvil-cli stops at the next step and saves its log).
    // The library asks before such a shutdown; the answer is no.
    void keepShutdownOnSignalsToTheProgram() const
    {
        using Register = ISC_STATUS(ISC_STATUS *, FB_SHUTDOWN_CALLBACK, int, void *);
        auto *registerCallback = optional<Register>("fb_shutdown_callback");
        if (registerCallback == nullptr)
            return;
        ISC_STATUS_ARRAY status{};
        registerCallback(
            status,
            [](const int reason, const int, void *) { return reason == fb_shutrsn_signal ? 1 : 0; },
            fb_shut_confirmation, nullptr);
    }

    template <typename F> F *optional(const char *name) const
    {
        return reinterpret_cast<F *>(m_module->symbol(name));
    }

    // A missing required entry point is reported the way the operating
    // system reports it; the module is released with the half-built binding.
    template <typename F> F *required(const char *name) const
    {
        F *entry = optional<F>(name);
        if (entry == nullptr)
            throw EOSError(platform::kProcNotFoundError, platform::lastErrorText());
        return entry;
    }

    std::optional<platform::DynamicLibrary> m_module;
};

// The bindings loaded so far and the open connections. Bindings stay loaded
// until the process ends; connections still open then are closed first, so
// that no attachment outlives its library.
class DatabaseLayer {
public:
    ~DatabaseLayer()
    {
        for (TFbDatabase *database : connections()) {
            try {
                database->SetConnected(false);
            } catch (...) {
                // Program exit: nobody is left to tell.
            }
        }
    }

    std::shared_ptr<IFbClientLibrary> find(const std::string &name)
    {
        std::lock_guard lock(m_mutex);
        for (const auto &library : m_libraries)
            if (library->LibraryName() == name)
                return library;
        return nullptr;
    }

    void add(std::shared_ptr<IFbClientLibrary> library)
    {
        std::lock_guard lock(m_mutex);
        m_libraries.push_back(std::move(library));
    }

    void addConnection(TFbDatabase *database)
    {
        std::lock_guard lock(m_mutex);
        m_connections.push_back(database);
    }

    void removeConnection(TFbDatabase *database)
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_connections, database);
    }

private:
    std::vector<TFbDatabase *> connections()
    {
        std::lock_guard lock(m_mutex);
        return m_connections;
    }

    std::mutex m_mutex;
    std::vector<std::shared_ptr<IFbClientLibrary>> m_libraries;
    std::vector<TFbDatabase *> m_connections;
};

DatabaseLayer &layer()
{
    static DatabaseLayer instance;
    return instance;
}

} // namespace

std::shared_ptr<IFbClientLibrary> AcquireClientLibrary(const std::string &libraryName)
{
    if (auto existing = layer().find(libraryName))
        return existing;
    auto library = std::make_shared<TFbClientLibrary>(libraryName);
    layer().add(library);
    return library;
}

void RegisterConnection(TFbDatabase *database)
{
    layer().addConnection(database);
}

void UnregisterConnection(TFbDatabase *database)
{
    layer().removeConnection(database);
}

namespace {

void upperFirstLatin(std::string &text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
}

std::string textUpToZero(const char *buffer, size_t size)
{
    return std::string(buffer, std::find(buffer, buffer + size, '\0'));
}

std::string sqlCodeMessage(const IFbClientLibrary &library, ISC_LONG sqlCode)
{
    char buffer[1024] = {};
    library.isc_sql_interprete(static_cast<short>(sqlCode), buffer,
                               static_cast<short>(sizeof buffer));
    std::string text = textUpToZero(buffer, sizeof buffer);
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at))
        text.erase(at, 2);
    if (text.empty())
        return text;
    upperFirstLatin(text);
    if (text.back() != '.')
        text += ".\r\n";
    return text;
}

std::string statusMessages(const IFbClientLibrary &library, ISC_STATUS *status)
{
    std::vector<char> buffer(20480);
    std::string result;
    ISC_STATUS *cursor = status;
    while (library.isc_interprete(buffer.data(), &cursor) > 0) {
        std::string line = textUpToZero(buffer.data(), buffer.size());
        if (line.empty())
            continue;
        upperFirstLatin(line);
        if (line.back() != '.')
            line += '.';
        result += line + "\r\n";
    }
    return result;
}

} // namespace

void RaiseServerError(const IFbClientLibrary &library, const TComponent *sender)
{
    ISC_STATUS *status = StatusVector();
    const TErrorMessageParts parts = ErrorMessageParts();
    TFbErrorFields fields;
    fields.SQLCode = library.isc_sqlcode(status);
    if ((parts & emSQLMessage) != 0)
        fields.SQLMessage = sqlCodeMessage(library, fields.SQLCode);
    if ((parts & emServerMessages) != 0)
        fields.ServerMessage = statusMessages(library, status);
    fields.ErrorCode = static_cast<std::int32_t>(status[1]);
    fields.SenderName = FullComponentName(sender);
    fields.Sender = sender;
    throw EFbServerError(std::move(fields));
}

} // namespace db
