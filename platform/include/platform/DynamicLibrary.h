#pragma once
// A shared library loaded by name at run time.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class DynamicLibrary {
public:
    /// Nothing when the loader refuses; the loader's reason is in lastErrorText().
    static std::optional<DynamicLibrary> load(std::string_view name);

    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;
    ~DynamicLibrary();

    /// Null when the library does not export the name; the loader's reason
    /// is then in lastErrorText().
    void *symbol(std::string_view name) const;

private:
    explicit DynamicLibrary(void *handle) : m_handle(handle) {}
    void *m_handle = nullptr;
};

/// The loader's "entry point not found" error code (Windows' ERROR_PROC_NOT_FOUND).
constexpr int kProcNotFoundError = 127;

} // namespace platform
