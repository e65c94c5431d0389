#include "Catalogue.h"

#include "Schema.h"

#include "db/Component.h"
#include "db/CreateDatabase.h"
#include "db/Strings.h"
#include "platform/Text.h"
#include "reconcile/ComponentSet.h"

#include <cctype>
#include <sstream>
#include <stdexcept>

namespace demo {

const char *const kUserName = "SYSDBA";
const char *const kPassword = "demo";

namespace {

// The manager's own rows would carry the day they were added; the demo's
// carry one fixed day so that every demo is the same.
const char *const kAddedOn = "'2024-03-01 12:00:00'";

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

std::string trimmed(std::string_view text)
{
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

/// A text literal in code page 1251.
std::string literal(std::string_view utf8)
{
    return db::SqlStringLiteral(platform::utf8ToAnsi(utf8));
}

// The demo's own connection: the components wired as the program wires them,
// with one statement for everything the script and the rows need.
class CatalogueConnection {
public:
    explicit CatalogueConnection(const std::string &file)
    {
        m_components.Connect(file, kUserName, kPassword);
        // The procedure's body names its parameter as :ABOOKID, which is no
        // parameter of the statement that creates it.
        m_components.DbQuery1.SetParamCheck(false);
    }

    void execute(const std::string &sql)
    {
        if (!m_components.DbTransaction1.Active())
            m_components.DbTransaction1.StartTransaction();
        m_components.DbQuery1.SQL().SetText(sql);
        m_components.DbQuery1.ExecQuery();
    }

    void commit()
    {
        if (m_components.DbTransaction1.Active())
            m_components.DbTransaction1.Commit();
    }

    long long count(const std::string &table)
    {
        db::TDbDataSet &result = m_components.tblDoubleBook;
        result.SelectSQL().SetText("select count(*) from " + table);
        result.Open();
        result.MoveFirst();
        const long long value = std::stoll(result.Field(0).AsText());
        result.Close();
        return value;
    }

private:
    db::TComponent m_owner{nullptr, "Demo"};
    reconcile::ComponentSet m_components{m_owner};
};

std::string authorRow(const Author &author)
{
    return "insert into AUTOR (AUTORID, LASTNAME, FIRSTNAME, MIDDLENAME, FAVORITE) values (" +
           std::to_string(author.id) + ", " + literal(author.lastName) + ", " +
           literal(author.firstName) + ", " + literal(author.middleName) + ", 0)";
}

std::string bookRow(const BookRecord &book)
{
    return "insert into BOOK (BOOKID, GENRELIST, AUTORLIST, BOOKNAME, LANG, OLDID, EXT, "
           "FILESIZE, FILENAME, DATEIN, DATEUPDATED) values (" +
           std::to_string(book.bookId) + ", " + literal(book.genre) + ", " +
           literal(book.autorList) + ", " + literal(book.title) + ", " + literal(book.lang) + ", " +
           literal(book.oldId) + ", 'fb2', " +
           (book.fileSize ? std::to_string(*book.fileSize) : "NULL") + ", " +
           literal(book.fileName) + ", " + kAddedOn + ", " + kAddedOn + ")";
}

std::string linkRow(const AuthorLink &link)
{
    return "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (" + std::to_string(link.id) +
           ", " + std::to_string(link.bookId) + ", " + std::to_string(link.autorId) + ")";
}

} // namespace

std::vector<std::string> scriptStatements(std::string_view script)
{
    std::vector<std::string> statements;
    std::string terminator = ";";
    std::string current;
    size_t i = 0;
    while (i < script.size()) {
        const char c = script[i];
        if (script.substr(i, 2) == "/*") {
            const size_t end = script.find("*/", i + 2);
            if (end == std::string_view::npos)
                throw std::runtime_error("the schema script has an unclosed comment");
            current += ' ';
            i = end + 2;
        } else if (script.substr(i, 2) == "--") {
            const size_t end = script.find('\n', i);
            current += ' ';
            i = end == std::string_view::npos ? script.size() : end;
        } else if (c == '\'' || c == '"') {
            // Quoted text ends at the next lone quote; a doubled one stays inside.
            size_t end = i + 1;
            while (end < script.size() &&
                   (script[end] != c || (end + 1 < script.size() && script[end + 1] == c)))
                end += script[end] == c ? 2 : 1;
            if (end >= script.size())
                throw std::runtime_error("the schema script has an unclosed quote");
            current += script.substr(i, end + 1 - i);
            i = end + 1;
        } else if (script.substr(i, terminator.size()) == terminator) {
            i += terminator.size();
            std::string statement = trimmed(current);
            current.clear();
            const std::vector<std::string> parts = words(statement);
            auto isWord = [&](size_t n, const char *word) {
                return parts.size() > n && platform::upperLatin(parts[n]) == word;
            };
            if (parts.size() == 3 && isWord(0, "SET") && isWord(1, "TERM")) {
                terminator = parts[2];
            } else if (parts.size() == 4 && isWord(0, "SET") && isWord(1, "SQL") &&
                       isWord(2, "DIALECT")) {
                if (parts[3] != "3")
                    throw std::runtime_error("the schema script asks for SQL dialect " + parts[3] +
                                             ", the catalogue uses 3");
            } else if (!statement.empty()) {
                statements.push_back(std::move(statement));
            }
        } else {
            current += c;
            ++i;
        }
    }
    if (!trimmed(current).empty())
        throw std::runtime_error("the schema script ends inside a statement: " + trimmed(current));
    return statements;
}

void makeCatalogue(const std::string &file, const DemoContent &content)
{
    db::CreateDatabase(file, kUserName, kPassword);
    CatalogueConnection catalogue(file);
    // Each definition is committed at once, as isql does, so that the next
    // one can use it.
    for (const std::string &statement : scriptStatements(kCatalogueSchema)) {
        if (platform::upperLatin(statement) != "COMMIT")
            catalogue.execute(statement);
        catalogue.commit();
    }
    for (const Author &author : content.authors)
        catalogue.execute(authorRow(author));
    for (const BookRecord &book : content.books)
        catalogue.execute(bookRow(book));
    for (const AuthorLink &link : content.links)
        catalogue.execute(linkRow(link));
    // The manager takes its next keys from these.
    catalogue.execute("set generator GEN_BOOK_ID to " + std::to_string(content.books.size()));
    catalogue.execute("set generator GEN_BOOK_AUTOR_ID to " + std::to_string(content.links.size()));
    catalogue.commit();
}

CatalogueCounts countCatalogue(const std::string &file)
{
    CatalogueConnection catalogue(file);
    CatalogueCounts counts;
    counts.books = catalogue.count("BOOK");
    counts.links = catalogue.count("BOOK_AUTOR");
    catalogue.commit();
    return counts;
}

} // namespace demo
