#include "NameList.h"

#include "platform/Text.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace reconcile {

void NameList::Add(std::string_view name)
{
    const size_t offset = m_text.size();
    m_text += name;
    std::transform(m_text.begin() + static_cast<std::ptrdiff_t>(offset), m_text.end(),
                   m_text.begin() + static_cast<std::ptrdiff_t>(offset),
                   [](char c) { return platform::upperAnsi(c); });
    m_entries.push_back({offset, name.size()});
    m_sorted = false;
}

void NameList::Sort()
{
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [this](const Entry &a, const Entry &b) { return key(a) < key(b); });
    m_sorted = true;
}

bool NameList::Contains(std::string_view name) const
{
    assert(m_sorted);
    const std::string folded = platform::upperAnsi(name);
    const auto at = std::lower_bound(
        m_entries.begin(), m_entries.end(), std::string_view(folded),
        [this](const Entry &entry, std::string_view wanted) { return key(entry) < wanted; });
    return at != m_entries.end() && key(*at) == folded;
}

std::vector<std::string> NameList::Names() const
{
    std::vector<std::string> names;
    names.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        names.emplace_back(key(entry));
    return names;
}

} // namespace reconcile
