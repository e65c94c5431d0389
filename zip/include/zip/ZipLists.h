#pragma once
// Object lists: an array of object pointers that may own its objects, and
// a variant that keeps its items ordered by a comparison of the derived
// class, with a fixed policy for items that compare equal.

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace zip {

class EListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <class T> class TObjectList {
public:
    explicit TObjectList(bool ownsObjects = true) : m_ownsObjects(ownsObjects) {}
    virtual ~TObjectList()
    {
        if (m_ownsObjects)
            for (T *item : m_items)
                delete item;
    }
    TObjectList(const TObjectList &) = delete;
    TObjectList &operator=(const TObjectList &) = delete;

    int Count() const { return int(m_items.size()); }
    T &operator[](int index) const { return *m_items[size_t(index)]; }
    bool OwnsObjects() const { return m_ownsObjects; }

protected:
    /// An owning list takes ownership of item.
    void insertAt(int index, T *item) { m_items.insert(m_items.begin() + index, item); }

    std::vector<T *> m_items;

private:
    bool m_ownsObjects;
};

enum class TDuplicates { Ignore, Accept, Error };

template <class T> class TSortedObjectList : public TObjectList<T> {
public:
    TSortedObjectList(bool ownsObjects, TDuplicates duplicates)
        : TObjectList<T>(ownsObjects), m_duplicates(duplicates)
    {
    }

    /// Inserts item at its place in the order, before any equal items, and
    /// returns its index; an owning list then owns it. Returns -1 when an
    /// equal item is ignored (the caller keeps it). Throws EListError when
    /// equal items are an error (the caller keeps it).
    int Add(T *item)
    {
        int index = lowerBound(*item);
        if (index < this->Count() && Compare((*this)[index], *item) == 0) {
            if (m_duplicates == TDuplicates::Ignore)
                return -1;
            if (m_duplicates == TDuplicates::Error)
                throw EListError("Duplicate Object index");
        }
        this->insertAt(index, item);
        return index;
    }

    /// The index of the first item equal to probe, or -1.
    int Find(const T &probe) const
    {
        int index = lowerBound(probe);
        return index < this->Count() && Compare((*this)[index], probe) == 0 ? index : -1;
    }

protected:
    /// Negative, zero or positive as a sorts before, with or after b.
    virtual int Compare(const T &a, const T &b) const = 0;

private:
    int lowerBound(const T &item) const
    {
        auto position =
            std::lower_bound(this->m_items.begin(), this->m_items.end(), &item,
                             [this](const T *a, const T *b) { return Compare(*a, *b) < 0; });
        return int(position - this->m_items.begin());
    }

    TDuplicates m_duplicates;
};

} // namespace zip
