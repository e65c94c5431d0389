#include "platform/DynamicLibrary.h"

#include "LastError.h"
#include "platform/Text.h"

#include <dlfcn.h>

#include <string>
#include <utility>

namespace platform {
namespace {

void recordLoaderError()
{
    const char *reason = dlerror();
    detail::setLastError(utf8ToAnsi(reason ? reason : "unknown loader error"));
}

} // namespace

std::optional<DynamicLibrary> DynamicLibrary::load(std::string_view name)
{
    void *handle = dlopen(std::string(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        recordLoaderError();
        return std::nullopt;
    }
    return DynamicLibrary(handle);
}

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr))
{
}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept
{
    if (this != &other) {
        if (m_handle)
            dlclose(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

void *DynamicLibrary::symbol(std::string_view name) const
{
    dlerror();
    void *address = dlsym(m_handle, std::string(name).c_str());
    if (!address)
        recordLoaderError();
    return address;
}

} // namespace platform
