#include "RunFixture.h"

#include "TestDatabase.h"

#include "db/Strings.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <filesystem>

namespace reconcile_test {

std::string ansi(std::string_view utf8)
{
    return platform::utf8ToAnsi(utf8);
}

namespace {

std::string quoted(std::string_view utf8)
{
    return db::SqlStringLiteral(ansi(utf8));
}

} // namespace

RunFixture::RunFixture()
{
    platform::setLocaleFormats({"dd.MM.yyyy", "H:mm:ss", ','});
    std::filesystem::create_directories(nativeLibrary());
    std::filesystem::create_directories(nativeMoved());
    std::filesystem::create_directories(m_root.native() / "temp");
    m_state.MountPoint = library();
    m_state.MoveTo = moved();
    m_state.TempDir = m_root.program("temp\\");
    m_state.WorkMode = 1;
    m_state.ScratchList.emplace();
    m_state.PairList.emplace();
    m_frontEnd.moveToText = moved();
}

void RunFixture::SetUp()
{
    const std::filesystem::path file = m_root.native() / "catalogue.fdb";
    ASSERT_NO_FATAL_FAILURE(testing_support::createDatabase(file, 3, true));
    m_components.Connect(file.string(), "SYSDBA", "testpass");
}

void RunFixture::execute(const std::string &sql)
{
    db::TDbQuery statement(&m_form, "TestQuery");
    statement.SetDatabase(&m_components.DbDatabase1);
    statement.SetTransaction(&m_components.DbTransaction1);
    if (!m_components.DbTransaction1.Active())
        m_components.DbTransaction1.StartTransaction();
    statement.SQL().SetText(sql);
    statement.ExecQuery();
    m_components.DbTransaction1.Commit();
}

void RunFixture::addBook(int bookId, std::string_view fileName, std::string_view oldId,
                         std::string_view bookName)
{
    execute("insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (" +
            std::to_string(bookId) + ", " + quoted(fileName) + ", " + quoted(oldId) + ", " +
            quoted(bookName) + ")");
}

void RunFixture::addLink(int id, int bookId, int autorId)
{
    execute("insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (" + std::to_string(id) + ", " +
            std::to_string(bookId) + ", " + std::to_string(autorId) + ")");
}

void RunFixture::openBooks()
{
    m_components.DbDataSet1.SetActive(true);
}

long long RunFixture::count(const std::string &sql)
{
    db::TDbTransaction transaction(&m_form, "CountTransaction");
    transaction.SetDefaultDatabase(&m_components.DbDatabase1);
    db::TDbDataSet result(&m_form, "CountQuery");
    result.SetDatabase(&m_components.DbDatabase1);
    result.SetTransaction(&transaction);
    result.SelectSQL().SetText(sql);
    result.Open();
    result.MoveFirst();
    const long long value = std::stoll(result.Field(0).AsText());
    result.Close();
    transaction.Commit();
    return value;
}

reconcile::Run RunFixture::run()
{
    return reconcile::Run{m_state, m_components.view(), m_frontEnd, m_clock};
}

} // namespace reconcile_test
