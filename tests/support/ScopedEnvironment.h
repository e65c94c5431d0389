#pragma once
// An environment variable set (or unset) for one test and restored after it.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace testing_support {

class ScopedEnvironment {
public:
    /// Nothing as value unsets the variable.
    ScopedEnvironment(std::string name, const std::optional<std::string> &value)
        : m_name(std::move(name))
    {
        if (const char *saved = std::getenv(m_name.c_str()))
            m_saved = saved;
        set(value);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;
    ~ScopedEnvironment() { set(m_saved); }

    void set(const std::optional<std::string> &value) const
    {
        if (value)
            setenv(m_name.c_str(), value->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

} // namespace testing_support
