#pragma once
// A list of listeners, each registered under an owner key so that the owner
// can remove its own handlers when it goes away.

#include <functional>
#include <utility>
#include <vector>

namespace db {

template <typename... Args> class TNotifyList {
public:
    using Handler = std::function<void(Args...)>;

    void Add(const void *owner, Handler handler)
    {
        m_items.emplace_back(owner, std::move(handler));
    }
    void Remove(const void *owner)
    {
        std::erase_if(m_items, [owner](const auto &item) { return item.first == owner; });
    }
    bool Empty() const { return m_items.empty(); }

    // Both walks use a copy: a handler may add or remove listeners.
    void Notify(Args... args) const
    {
        for (const auto &item : Items())
            item.second(args...);
    }
    void NotifyReverse(Args... args) const
    {
        const auto items = Items();
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            it->second(args...);
    }
    /// Registration order, stopping as soon as the condition no longer holds.
    void NotifyWhile(const std::function<bool()> &condition, Args... args) const
    {
        for (const auto &item : Items()) {
            if (!condition())
                return;
            item.second(args...);
        }
    }

private:
    std::vector<std::pair<const void *, Handler>> Items() const { return m_items; }
    std::vector<std::pair<const void *, Handler>> m_items;
};

} // namespace db
