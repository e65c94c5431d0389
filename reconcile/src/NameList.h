#pragma once
// The comparison's list of the book rows' file names: filled once by the
// database pass, then asked once per file of the walk. Names are compared
// ignoring the letter case of Latin and Cyrillic letters; duplicates are
// kept. Filling appends and sorts once, so half a million rows cost
// n log n, and every name sits in one shared buffer instead of an
// allocation of its own.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace reconcile {

class NameList {
public:
    /// Adds a name; the list is unsorted until the next Sort().
    void Add(std::string_view name);
    /// Puts the names in order; Contains needs it after the last Add.
    /// `betweenSteps`, when given, is called between steps of a few thousand
    /// names (never for a short list), so that a window stays responsive
    /// while half a million are sorted.
    void Sort(const std::function<void()> &betweenSteps = {});
    /// One search by halving.
    bool Contains(std::string_view name) const;
    size_t Count() const { return m_entries.size(); }
    /// The names in order, upper-cased (Latin and Cyrillic).
    std::vector<std::string> Names() const;

private:
    struct Entry {
        size_t offset;
        size_t length;
    };
    std::string_view key(const Entry &entry) const
    {
        return std::string_view(m_text).substr(entry.offset, entry.length);
    }

    // Keys folded with the locale upper-casing of code page 1251: byte
    // order and equality of folded keys are exactly those of
    // platform::compareTextInsensitive, at the price of a plain compare.
    std::string m_text;
    std::vector<Entry> m_entries;
    bool m_sorted = true;
};

} // namespace reconcile
