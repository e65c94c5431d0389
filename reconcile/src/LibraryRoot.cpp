#include "LibraryRoot.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <stdexcept>
#include <system_error>

namespace reconcile {
namespace {

namespace fs = std::filesystem;

const std::string kRootNotFound = platform::utf8ToAnsi("Папка библиотеки не найдена: ");
const std::string kRootIsDriveRoot =
    platform::utf8ToAnsi("Корень диска не может быть папкой библиотеки: ");

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

} // namespace

fs::path CheckLibraryRoot(const std::string &mountPoint)
{
    // An empty setting becomes "\", which would make the whole file system
    // the library; a folder that is missing (an unmounted disk) would make
    // every book look missing. Neither names a library.
    if (mountPoint.empty() || mountPoint == "\\")
        throw std::runtime_error(kRootNotFound + mountPoint);
    const std::optional<fs::path> real = RealFolder(mountPoint);
    if (!real)
        throw std::runtime_error(kRootNotFound + mountPoint);
    if (*real == real->root_path())
        throw std::runtime_error(kRootIsDriveRoot + mountPoint);
    return *real;
}

bool StaysInside(std::string_view relativePath)
{
    size_t start = 0;
    while (start <= relativePath.size()) {
        size_t end = start;
        while (end < relativePath.size() && !isSeparator(relativePath[end]))
            ++end;
        if (relativePath.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::optional<fs::path> RealFolder(std::string_view folder)
{
    const fs::path native = platform::nativePath(folder);
    if (native.empty())
        return std::nullopt;
    std::error_code error;
    fs::path real = fs::canonical(native, error);
    if (error || !fs::is_directory(real, error) || error)
        return std::nullopt;
    return real;
}

bool IsAtOrBelow(const fs::path &inner, const fs::path &outer)
{
    const std::string &in = inner.native();
    const std::string &out = outer.native();
    if (!in.starts_with(out))
        return false;
    return in.size() == out.size() || out.ends_with('/') || in[out.size()] == '/';
}

std::string JoinPath(std::string_view folder, std::string_view relative)
{
    while (!relative.empty() && relative.front() == '\\')
        relative.remove_prefix(1);
    if (folder.empty())
        return std::string(relative);
    std::string joined = platform::withTrailingBackslash(std::string(folder));
    joined += relative;
    return joined;
}

} // namespace reconcile
