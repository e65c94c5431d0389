#include "ReportJson.h"

#include "platform/Text.h"

#include <cstdio>

namespace app {
namespace {

using reconcile::ReportChange;

std::string quoted(const std::string &ansi)
{
    std::string out = "\"";
    for (char c : platform::ansiToUtf8(ansi)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

const char *boolean(bool value)
{
    return value ? "true" : "false";
}

// One JSON value per line of the document, indented by nesting.
class Writer {
public:
    void open(const std::string &key, char bracket) { line(keyed(key) + bracket, +1); }
    void close(char bracket) { line(std::string(1, bracket), -1); }
    void value(const std::string &key, const std::string &json) { line(keyed(key) + json, 0); }
    template <typename Items, typename Write>
    void array(const std::string &key, const Items &items, Write write)
    {
        if (items.empty()) {
            value(key, "[]");
            return;
        }
        open(key, '[');
        for (const auto &item : items)
            write(item);
        close(']');
    }
    std::string text() const { return m_text + "\n"; }

private:
    static std::string keyed(const std::string &key)
    {
        return key.empty() ? std::string() : "\"" + key + "\": ";
    }
    void line(const std::string &text, int nesting)
    {
        if (nesting < 0) {
            --m_depth;
            m_first = false;
        } else if (!m_first) {
            m_text += ",";
        }
        if (!m_text.empty())
            m_text += "\n";
        m_text += std::string(size_t(2 * m_depth), ' ') + text;
        m_first = nesting > 0;
        if (nesting > 0)
            ++m_depth;
    }

    std::string m_text;
    int m_depth = 0;
    bool m_first = true;
};

void writeMoves(Writer &out, const reconcile::ReportCheck &check)
{
    out.array("moves", check.moves, [&](const reconcile::ReportMove &move) {
        out.value("",
                  "{\"source\": " + quoted(move.source) + ", \"target\": " + quoted(move.target) +
                      ", \"moved\": " + boolean(move.moved) +
                      (move.moved ? std::string() : ", \"reason\": " + quoted(move.reason)) + "}");
    });
}

void writeStrings(Writer &out, const std::string &key, const std::vector<std::string> &items)
{
    out.array(key, items, [&](const std::string &item) { out.value("", quoted(item)); });
}

int movedCount(const reconcile::ReportCheck &check, bool moved)
{
    int count = 0;
    for (const reconcile::ReportMove &move : check.moves)
        count += move.moved == moved;
    return count;
}

void writeGroup(Writer &out, const reconcile::ReportGroup &group, int &deleted, int &updated,
                int &failed)
{
    out.open("", '{');
    out.value("file", quoted(group.fileName));
    out.value("idRead", boolean(group.idRead));
    out.value(group.idRead ? "id" : "reason", quoted(group.idOrReason));
    out.array("records", group.records, [&](const reconcile::ReportRecord &record) {
        bool gone = false;
        for (const ReportChange &change : group.changes)
            gone = gone || (change.action == ReportChange::Action::Deleted && change.done &&
                            change.bookId == record.bookId);
        out.value("", "{\"bookId\": " + record.bookId + ", \"name\": " + quoted(record.name) +
                          ", \"oldId\": " + quoted(record.oldId) + ", \"kept\": " + boolean(!gone) +
                          "}");
    });
    out.array("changes", group.changes, [&](const ReportChange &change) {
        const bool deletion = change.action == ReportChange::Action::Deleted;
        (change.done ? (deletion ? deleted : updated) : failed)++;
        out.value("", std::string("{\"action\": \"") + (deletion ? "delete" : "update") +
                          "\", \"bookId\": " + change.bookId + ", \"oldId\": " +
                          quoted(change.oldId) + ", \"done\": " + boolean(change.done) +
                          (change.done ? "" : ", \"error\": " + quoted(change.error)) + "}");
    });
    out.close('}');
}

void writeCheck(Writer &out, const reconcile::ReportCheck &check)
{
    out.open("", '{');
    out.value("check", "\"" + check.name + "\"");
    out.value("ranToEnd", boolean(check.ended));
    std::vector<std::pair<std::string, int>> counts;
    if (check.name == "compare") {
        out.value("stopped", boolean(check.stopped));
        writeStrings(out, "missing", check.missing);
        writeStrings(out, "surplus", check.surplus);
        writeStrings(out, "emptyFolders", check.emptyFolders);
        writeMoves(out, check);
        counts = {{"missing", int(check.missing.size())},
                  {"surplus", int(check.surplus.size())},
                  {"emptyFolders", int(check.emptyFolders.size())},
                  {"moved", movedCount(check, true)},
                  {"notMoved", movedCount(check, false)}};
    } else if (check.name == "duplicate-files") {
        int deleted = 0, updated = 0, failed = 0;
        out.array("groups", check.groups, [&](const reconcile::ReportGroup &group) {
            writeGroup(out, group, deleted, updated, failed);
        });
        writeMoves(out, check);
        counts = {{"groups", int(check.groups.size())},
                  {"deleted", deleted},
                  {"updated", updated},
                  {"notChanged", failed},
                  {"moved", movedCount(check, true)},
                  {"notMoved", movedCount(check, false)}};
    } else {
        int cleaned = 0, failed = 0;
        out.array("pairs", check.pairs, [&](const reconcile::ReportLinkPair &pair) {
            if (pair.attempted)
                (pair.cleaned ? cleaned : failed)++;
            out.value("",
                      "{\"bookId\": " + pair.bookId + ", \"autorId\": " + pair.autorId +
                          ", \"links\": " + pair.links + ", \"cleaned\": " + boolean(pair.cleaned) +
                          (pair.attempted && !pair.cleaned ? ", \"error\": " + quoted(pair.error)
                                                           : std::string()) +
                          "}");
        });
        counts = {{"pairs", int(check.pairs.size())}, {"cleaned", cleaned}, {"notCleaned", failed}};
    }
    out.open("counts", '{');
    for (const auto &[name, count] : counts)
        out.value(name, std::to_string(count));
    out.close('}');
    out.close('}');
}

} // namespace

std::string reportJson(const reconcile::RunReport &report)
{
    Writer out;
    out.open("", '{');
    out.array("checks", report.checks,
              [&](const reconcile::ReportCheck &check) { writeCheck(out, check); });
    out.close('}');
    return out.text();
}

} // namespace app
