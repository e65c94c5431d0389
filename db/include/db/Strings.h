#pragma once
// A list of text lines whose owners are told before and after every change,
// the way statements keep their SQL text: the handlers before a change may
// refuse it by throwing, and the list then stays as it was.

#include "db/NotifyList.h"

#include <string>
#include <string_view>
#include <vector>

namespace db {

class TStrings {
public:
    /// Each of these is one change.
    void Clear();
    void Add(std::string line);
    /// Replaces all lines by the text split at CR LF, LF or CR.
    void SetText(std::string_view text);
    void Assign(std::vector<std::string> lines);

    const std::vector<std::string> &Lines() const { return m_lines; }
    int Count() const { return static_cast<int>(m_lines.size()); }
    const std::string &operator[](int index) const { return m_lines.at(index); }
    /// The lines joined, each followed by CR LF.
    std::string Text() const;

    /// Run before every change; a handler that throws refuses it.
    TNotifyList<> &ChangingHandlers() { return m_changing; }
    /// Run after every accepted change.
    TNotifyList<> &ChangedHandlers() { return m_changed; }

private:
    void change(std::vector<std::string> lines);

    std::vector<std::string> m_lines;
    TNotifyList<> m_changing;
    TNotifyList<> m_changed;
};

/// Splits a text at CR LF, LF or CR; a final line break starts no new line.
std::vector<std::string> SplitLines(std::string_view text);

/// The text as an SQL string literal: in apostrophes, each of its own
/// apostrophes doubled, so a name such as O'Brien.zip stays one literal.
std::string SqlStringLiteral(std::string_view text);

} // namespace db
