#include "DemoContent.h"

#include "ZipWriter.h"

#include "platform/Text.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string_view>

namespace demo {
namespace {

const std::vector<Author> kAuthors = {
    {1, "Толстой", "Лев", "Николаевич"},
    {2, "Достоевский", "Фёдор", "Михайлович"},
    {3, "Чехов", "Антон", "Павлович"},
    {4, "Пушкин", "Александр", "Сергеевич"},
    {5, "Гоголь", "Николай", "Васильевич"},
    {6, "Тургенев", "Иван", "Сергеевич"},
    {7, "Лермонтов", "Михаил", "Юрьевич"},
    {8, "Булгаков", "Михаил", "Афанасьевич"},
    {9, "Ильф", "Илья", "Арнольдович"},
    {10, "Петров", "Евгений", "Петрович"},
    {11, "Беляев", "Александр", "Романович"},
    {12, "Стругацкий", "Аркадий", "Натанович"},
    {13, "Стругацкий", "Борис", "Натанович"},
    {14, "Ефремов", "Иван", "Антонович"},
    {15, "Dickens", "Charles", ""},
    {16, "Austen", "Jane", ""},
    {17, "Doyle", "Arthur", "Conan"},
    {18, "Wilde", "Oscar", ""},
    {19, "Twain", "Mark", ""},
    {20, "Carroll", "Lewis", ""},
    {21, "Wells", "Herbert", "George"},
    {22, "Stevenson", "Robert", "Louis"},
};

/// How a title of a shelf ends up in the catalogue and on disk.
enum class Planted {
    Book,        ///< a record and its archive
    MissingFile, ///< a record whose archive is not there
    SurplusFile, ///< an archive no record names
    OtherCase,   ///< a record naming its archive in another letter case
};

struct ShelfItem {
    const char *title;
    Planted planted = Planted::Book;
    const char *recordFileName = nullptr; ///< for OtherCase
};

/// One folder of the library: the books of one author (or pair of authors).
struct Shelf {
    const char *folder; ///< ending in a backslash; empty for the library root
    std::vector<int> authors;
    const char *lang;
    const char *genre;
    std::vector<ShelfItem> items;
};

// One shelf, and one shared file, to a line or two reads best.
// clang-format off
const std::vector<Shelf> kShelves = {
    {"Классика\\Толстой Лев\\", {1}, "ru", "prose_rus_classic",
     {{"Война и мир"}, {"Анна Каренина"}, {"Детство"}}},
    {"Классика\\Достоевский Фёдор\\", {2}, "ru", "prose_rus_classic",
     {{"Преступление и наказание"}, {"Братья Карамазовы"}, {"Бесы"}}},
    {"Классика\\Чехов Антон\\", {3}, "ru", "prose_rus_classic",
     {{"Палата № 6"}, {"Дама с собачкой"}, {"Вишнёвый сад", Planted::MissingFile}}},
    {"Классика\\Пушкин Александр\\", {4}, "ru", "prose_rus_classic",
     {{"Капитанская дочка"}, {"Пиковая дама"},
      {"Евгений Онегин", Planted::OtherCase, "Классика\\Пушкин Александр\\евгений онегин.zip"}}},
    {"Классика\\Гоголь Николай\\", {5}, "ru", "prose_rus_classic",
     {{"Мёртвые души"}, {"Шинель"}}},
    {"Классика\\Гоголь Николай\\Черновики\\", {5}, "ru", "prose_rus_classic",
     {{"Мёртвые души, том 2", Planted::SurplusFile}}},
    {"Классика\\Тургенев Иван\\", {6}, "ru", "prose_rus_classic", {{"Муму"}}},
    {"Классика\\Лермонтов Михаил\\", {7}, "ru", "prose_rus_classic", {{"Мцыри"}}},
    {"Классика\\Булгаков Михаил\\", {8}, "ru", "prose_rus_classic",
     {{"Мастер и Маргарита"}, {"Собачье сердце"}}},
    {"Классика\\Ильф и Петров\\", {9, 10}, "ru", "humor_prose",
     {{"Двенадцать стульев"}, {"Золотой телёнок"}}},
    {"Фантастика\\Беляев Александр\\", {11}, "ru", "sf",
     {{"Ариэль"}, {"Звезда КЭЦ"}, {"Голова профессора Доуэля", Planted::SurplusFile}}},
    {"Фантастика\\Стругацкие\\", {12, 13}, "ru", "sf_social",
     {{"Пикник на обочине"}, {"Понедельник начинается в субботу"}}},
    {"Фантастика\\Ефремов Иван\\", {14}, "ru", "sf",
     {{"Лезвие бритвы"}, {"Туманность Андромеды", Planted::MissingFile}}},
    {"English\\Dickens Charles\\", {15}, "en", "prose_classic",
     {{"Oliver Twist"}, {"A Christmas Carol"}}},
    {"English\\Austen Jane\\", {16}, "en", "prose_classic",
     {{"Pride and Prejudice"}, {"Emma", Planted::OtherCase, "english\\Austen Jane\\EMMA.zip"}}},
    {"English\\Doyle Arthur Conan\\", {17}, "en", "detective",
     {{"The Hound of the Baskervilles"}, {"A Study in Scarlet"}}},
    {"English\\Wilde Oscar\\", {18}, "en", "prose_classic",
     {{"The Happy Prince"}, {"The Picture of Dorian Gray", Planted::MissingFile}}},
    {"English\\Twain Mark\\", {19}, "en", "adventure",
     {{"The Adventures of Tom Sawyer"}, {"Adventures of Huckleberry Finn"}}},
    {"English\\Carroll Lewis\\", {20}, "en", "child_tale", {{"Through the Looking-Glass"}}},
    {"English\\Wells Herbert\\", {21}, "en", "sf",
     {{"The Time Machine"}, {"The War of the Worlds"}}},
    {"English\\Stevenson Robert Louis\\", {22}, "en", "adventure", {{"Treasure Island"}}},
    {"", {5}, "ru", "dramaturgy", {{"Ревизор"}}},
    {"", {4}, "ru", "poetry", {{"Сказки", Planted::SurplusFile}}},
};
// clang-format on

/// What a file that several records share holds.
enum class Archive {
    Fb2, ///< an FB2 document with its identifier
    Fb2WithoutId,
    WithoutFb2, ///< a ZIP archive without any FB2 document
    NotAZip,    ///< the bare document saved under the archive's name
};

struct SharedRecord {
    const char *bookName;
    const char *oldId;
};

struct SharedFile {
    const char *folder;
    std::vector<int> authors;
    const char *lang;
    const char *genre;
    const char *title;
    Archive archive;
    const char *fileId;
    std::vector<SharedRecord> records;
};

// clang-format off
const std::vector<SharedFile> kSharedFiles = {
    // Some records carry the file's identifier: the others go.
    {"Классика\\Достоевский Фёдор\\", {2}, "ru", "prose_rus_classic", "Идиот", Archive::Fb2,
     "F2D6A0C4-1869-4E3B-9A57-1D0C2B3A4E5F",
     {{"Идиот", "F2D6A0C4-1869-4E3B-9A57-1D0C2B3A4E5F"},
      {"Идиот (старое издание)", "F2D6A0C4-1868-4E3B-9A57-1D0C2B3A4E5F"},
      {"Идиот (без ID)", ""}}},
    {"English\\Dickens Charles\\", {15}, "en", "prose_classic", "Great Expectations", Archive::Fb2,
     "5B1E8C2D-1861-4A7F-B3C9-0E2D4F6A8B1C",
     {{"Great Expectations (first scan)", "5B1E8C2D-1860-4A7F-B3C9-0E2D4F6A8B1C"},
      {"Great Expectations", "5B1E8C2D-1861-4A7F-B3C9-0E2D4F6A8B1C"}}},
    // No record carries it.
    {"Классика\\Тургенев Иван\\", {6}, "ru", "prose_rus_classic", "Отцы и дети", Archive::Fb2,
     "9C3A5E7F-1862-4B2D-8F1A-3C5E7A9B2D4F",
     {{"Отцы и дети", "9C3A5E7F-0001-4B2D-8F1A-3C5E7A9B2D4F"},
      {"Отцы и дети (исправленное)", "9C3A5E7F-0002-4B2D-8F1A-3C5E7A9B2D4F"}}},
    {"English\\Twain Mark\\", {19}, "en", "adventure", "The Prince and the Pauper", Archive::Fb2,
     "0D4B6F8A-1881-4C3E-9B2A-4D6F8B0C2E4A",
     {{"The Prince and the Pauper", "0D4B6F8A-0001-4C3E-9B2A-4D6F8B0C2E4A"},
      {"The Prince and the Pauper (no ID)", ""},
      {"The Prince and the Pauper (2nd edition)", "0D4B6F8A-0002-4C3E-9B2A-4D6F8B0C2E4A"}}},
    // The file's identifier cannot be read.
    {"Классика\\Лермонтов Михаил\\", {7}, "ru", "prose_rus_classic", "Герой нашего времени",
     Archive::NotAZip, "A7E9C1B3-1840-4D5F-8E2C-5F7A9C1E3B5D",
     {{"Герой нашего времени", "A7E9C1B3-1840-4D5F-8E2C-5F7A9C1E3B5D"},
      {"Герой нашего времени (копия)", "A7E9C1B3-0002-4D5F-8E2C-5F7A9C1E3B5D"}}},
    {"English\\Carroll Lewis\\", {20}, "en", "child_tale", "Alice's Adventures in Wonderland",
     Archive::WithoutFb2, "3E5A7C9B-1865-4F1D-A3B5-6C8E0A2D4F6B",
     {{"Alice's Adventures in Wonderland", "3E5A7C9B-1865-4F1D-A3B5-6C8E0A2D4F6B"},
      {"Alice in Wonderland", "3E5A7C9B-0002-4F1D-A3B5-6C8E0A2D4F6B"}}},
    {"Фантастика\\Стругацкие\\", {12, 13}, "ru", "sf_social", "Трудно быть богом",
     Archive::Fb2WithoutId, "C1D3E5F7-1964-4A2B-9C4D-7E9A1B3C5D7E",
     {{"Трудно быть богом", "C1D3E5F7-1964-4A2B-9C4D-7E9A1B3C5D7E"},
      {"Трудно быть богом (журнальный вариант)", "C1D3E5F7-0002-4A2B-9C4D-7E9A1B3C5D7E"}}},
};
// clang-format on

/// A (book, author) link stored more often than once.
struct RepeatedLink {
    const char *fileName;
    int autorId;
    int extraCopies;
};

const std::vector<RepeatedLink> kRepeatedLinks = {
    {"Классика\\Толстой Лев\\Война и мир.zip", 1, 1},
    {"Классика\\Ильф и Петров\\Двенадцать стульев.zip", 9, 2},
    {"Классика\\Ильф и Петров\\Двенадцать стульев.zip", 10, 1},
    {"English\\Doyle Arthur Conan\\The Hound of the Baskervilles.zip", 17, 1},
};

const std::vector<std::string> kEmptyFolders = {"Фантастика\\Новые поступления\\",
                                                "English\\To sort\\"};

const char *const kRootReadme = "Прочти меня.txt";
const char *const kRootReadmeText =
    "Этот файл лежит в корне библиотеки, и ни одна запись каталога на него не ссылается.\r\n";
const char *const kThumbnails = "Фантастика\\Стругацкие\\Thumbs.db";
const char *const kCopiedBook = "English\\Stevenson Robert Louis\\Treasure Island.zip";
const char *const kCopy = "English\\Stevenson Robert Louis\\Treasure Island (copy).zip";
const char *const kRussianBodyText = "Демонстрационная книга библиотеки Dorvil.";
const char *const kEnglishBodyText = "A demonstration book of the Dorvil library.";

std::uint64_t fnv1a(std::string_view text, std::uint64_t seed)
{
    std::uint64_t hash = seed;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// A document identifier in the form most FB2 tools give them, the same for
// the same key on every run.
std::string documentId(std::string_view key)
{
    const std::uint64_t high = fnv1a(key, 0xcbf29ce484222325ull);
    const std::uint64_t low = fnv1a(key, high ^ 0x9e3779b97f4a7c15ull);
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xffff),
                  static_cast<unsigned>(high & 0xffff), static_cast<unsigned>(low >> 48),
                  static_cast<unsigned long long>(low & 0xffffffffffffull));
    return text;
}

std::string xmlEscaped(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

const Author &authorNumbered(int id)
{
    for (const Author &author : kAuthors)
        if (author.id == id)
            return author;
    throw std::logic_error("the demo names an author it does not list");
}

struct DocumentPlan {
    std::string title;
    std::vector<int> authors;
    std::string lang;
    std::string genre;
    std::optional<std::string> id;
};

// Russian books are saved in windows-1251 and English ones in UTF-8, the two
// encodings a real library mixes.
std::string fb2Document(const DocumentPlan &plan)
{
    const bool russian = plan.lang == "ru";
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") +
                      (russian ? "windows-1251" : "utf-8") + "\"?>\n";
    xml += "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
           "xmlns:l=\"http://www.w3.org/1999/xlink\">\n";
    xml += " <description>\n  <title-info>\n   <genre>" + plan.genre + "</genre>\n";
    for (int id : plan.authors) {
        const Author &author = authorNumbered(id);
        xml += "   <author><first-name>" + xmlEscaped(author.firstName) + "</first-name>";
        if (!author.middleName.empty())
            xml += "<middle-name>" + xmlEscaped(author.middleName) + "</middle-name>";
        xml += "<last-name>" + xmlEscaped(author.lastName) + "</last-name></author>\n";
    }
    xml += "   <book-title>" + xmlEscaped(plan.title) + "</book-title>\n";
    xml += "   <lang>" + plan.lang + "</lang>\n  </title-info>\n";
    xml += "  <document-info>\n   <author><nickname>dorvil-demo</nickname></author>\n";
    xml += "   <date value=\"2024-03-01\">2024</date>\n";
    if (plan.id)
        xml += "   <id>" + *plan.id + "</id>\n";
    xml += "   <version>1.0</version>\n  </document-info>\n </description>\n";
    xml += " <body>\n  <title><p>" + xmlEscaped(plan.title) + "</p></title>\n";
    xml += "  <section><p>" + std::string(russian ? kRussianBodyText : kEnglishBodyText) +
           "</p></section>\n </body>\n</FictionBook>\n";
    return russian ? platform::utf8ToAnsi(xml) : xml;
}

std::string authorList(const std::vector<int> &authors)
{
    std::string list;
    for (int id : authors) {
        const Author &author = authorNumbered(id);
        if (!list.empty())
            list += ", ";
        list += author.lastName + " " + author.firstName;
        if (!author.middleName.empty())
            list += " " + author.middleName;
    }
    return list;
}

class ContentBuilder {
public:
    DemoContent build()
    {
        m_content.authors = kAuthors;
        for (const Shelf &shelf : kShelves)
            for (const ShelfItem &item : shelf.items)
                addShelfItem(shelf, item);
        for (const SharedFile &shared : kSharedFiles)
            addSharedFile(shared);
        addFile(kRootReadme, platform::utf8ToAnsi(kRootReadmeText));
        addFile(kThumbnails, std::string("Thumbs\0\x01\x02", 9));
        addFile(kCopy, fileNamed(kCopiedBook).bytes);
        for (const RepeatedLink &repeated : kRepeatedLinks)
            for (int copy = 0; copy < repeated.extraCopies; ++copy)
                addLink(bookNamed(repeated.fileName), repeated.autorId);
        m_content.emptyFolders = kEmptyFolders;
        return std::move(m_content);
    }

private:
    // Every archive holds one document named by its number, the way large
    // libraries name them.
    std::string archiveOf(const std::string &document)
    {
        ZipWriter zip;
        zip.addEntry(std::to_string(++m_archiveNumber) + ".fb2", document);
        return zip.finish();
    }

    void addShelfItem(const Shelf &shelf, const ShelfItem &item)
    {
        const std::string fileName = std::string(shelf.folder) + item.title + ".zip";
        const std::string id = documentId(fileName);
        std::optional<long long> size;
        if (item.planted != Planted::MissingFile) {
            const std::string &bytes = addFile(
                fileName,
                archiveOf(fb2Document({item.title, shelf.authors, shelf.lang, shelf.genre, id})));
            size = static_cast<long long>(bytes.size());
        }
        if (item.planted == Planted::SurplusFile)
            return;
        const std::string recordName =
            item.planted == Planted::OtherCase ? item.recordFileName : fileName;
        addBook(recordName, item.title, shelf.lang, shelf.genre, shelf.authors, id, size);
    }

    void addSharedFile(const SharedFile &shared)
    {
        const std::string fileName = std::string(shared.folder) + shared.title + ".zip";
        DocumentPlan plan{shared.title, shared.authors, shared.lang, shared.genre, shared.fileId};
        std::string bytes;
        switch (shared.archive) {
        case Archive::Fb2:
            bytes = archiveOf(fb2Document(plan));
            break;
        case Archive::Fb2WithoutId:
            plan.id.reset();
            bytes = archiveOf(fb2Document(plan));
            break;
        case Archive::WithoutFb2: {
            ZipWriter zip;
            zip.addEntry("book.txt", std::string(shared.title) + "\r\n");
            zip.addEntry("book.htm",
                         "<html><body><h1>" + xmlEscaped(shared.title) + "</h1></body></html>\r\n");
            bytes = zip.finish();
            break;
        }
        case Archive::NotAZip:
            bytes = fb2Document(plan);
            break;
        }
        const long long size = static_cast<long long>(addFile(fileName, std::move(bytes)).size());
        for (const SharedRecord &record : shared.records)
            addBook(fileName, record.bookName, shared.lang, shared.genre, shared.authors,
                    record.oldId, size);
    }

    const std::string &addFile(const std::string &path, std::string bytes)
    {
        m_content.files.push_back({path, std::move(bytes)});
        return m_content.files.back().bytes;
    }

    const LibraryFile &fileNamed(const std::string &path) const
    {
        for (const LibraryFile &file : m_content.files)
            if (file.path == path)
                return file;
        throw std::logic_error("the demo copies a file it does not make");
    }

    void addBook(const std::string &fileName, const std::string &title, const std::string &lang,
                 const std::string &genre, const std::vector<int> &authors,
                 const std::string &oldId, std::optional<long long> size)
    {
        BookRecord book;
        book.bookId = static_cast<int>(m_content.books.size()) + 1;
        book.fileName = fileName;
        book.title = title;
        book.lang = lang;
        book.genre = genre;
        book.authors = authors;
        book.autorList = authorList(authors);
        book.oldId = oldId;
        book.fileSize = size;
        m_content.books.push_back(book);
        m_bookIds.emplace(fileName, book.bookId);
        for (int autorId : authors)
            addLink(book.bookId, autorId);
    }

    int bookNamed(const std::string &fileName) const
    {
        const auto found = m_bookIds.find(fileName);
        if (found == m_bookIds.end())
            throw std::logic_error("the demo links a book it does not list");
        return found->second;
    }

    void addLink(int bookId, int autorId)
    {
        const int id = static_cast<int>(m_content.links.size()) + 1;
        m_content.links.push_back({id, bookId, autorId});
    }

    DemoContent m_content;
    std::multimap<std::string, int> m_bookIds;
    int m_archiveNumber = 10000;
};

} // namespace

DemoContent makeDemoContent()
{
    return ContentBuilder().build();
}

} // namespace demo
