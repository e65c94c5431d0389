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

void NameList::Sort(const std::function<void()> &betweenSteps)
{
    // Sorted in runs, then merged pairwise: the same stable order as one
    // sort, in steps short enough to hand control back in between.
    constexpr size_t kRun = 8192;
    const auto less = [this](const Entry &a, const Entry &b) { return key(a) < key(b); };
    const auto at = [this](size_t index) {
        return m_entries.begin() + static_cast<std::ptrdiff_t>(index);
    };
    bool first = true;
    const auto nextStep = [&] {
        if (!first && betweenSteps)
            betweenSteps();
        first = false;
    };
    const size_t count = m_entries.size();
    for (size_t start = 0; start < count; start += kRun) {
        nextStep();
        std::stable_sort(at(start), at(std::min(count, start + kRun)), less);
    }
    for (size_t width = kRun; width < count; width *= 2) {
        for (size_t start = 0; start + width < count; start += 2 * width) {
            nextStep();
            std::inplace_merge(at(start), at(start + width), at(std::min(count, start + 2 * width)),
                               less);
        }
    }
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
