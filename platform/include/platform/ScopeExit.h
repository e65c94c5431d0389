#pragma once
// Runs a cleanup when the enclosing scope is left, whether normally or by an
// exception: for restoring state or releasing a C library's resource where
// a dedicated owner class would be out of proportion.

#include <type_traits>
#include <utility>

namespace platform {

/// Calls the function once, from the destructor. The function must not
/// throw: it runs during unwinding, and destructors never throw.
template <class Function> class ScopeExit {
public:
    explicit ScopeExit(Function function) noexcept(std::is_nothrow_move_constructible_v<Function>)
        : m_function(std::move(function))
    {
    }
    ~ScopeExit() { m_function(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    Function m_function;
};

template <class Function> ScopeExit(Function) -> ScopeExit<Function>;

} // namespace platform
