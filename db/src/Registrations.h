#pragma once
// The lists through which connections and transactions know the components
// that use them, to notify them of ends and losses.

#include <algorithm>
#include <vector>

namespace db {

template <typename T> void appendOnce(std::vector<T *> &list, T *value)
{
    if (std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

/// Moves a statement's registration from the connection or transaction it
/// used onto the next one, so that only the one it uses now notifies it.
template <class Holder, class Statement>
void relinkStatement(Holder *&current, Holder *next, Statement *statement)
{
    if (current != nullptr)
        current->RemoveStatement(statement);
    current = next;
    if (current != nullptr)
        current->AddStatement(statement);
}

} // namespace db
