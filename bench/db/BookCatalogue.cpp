#include "BookCatalogue.h"

#include "db/DbQuery.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

using namespace db;

namespace bench {
namespace {

const char *const kColumns =
    "BOOKID, GENRELIST, ANNOTATION, AUTORLIST, KEYWORDS, BOOKNAME, DATEVALUE, DATEVISIBLE, "
    "LANG, COVERPAGE, SRCLANG, SEQUENCE, SEQNUMBER, SEQUENCEID, DI_PROGUSED, DI_DATEVALUE, "
    "DI_DATEVISIBLE, DI_SRCURL, DI_SRCOCR, OLDID, DI_VERSION, DI_HISTORY, PI_BOOKNAME, "
    "PI_PUBLISHER, PI_CITY, PI_YEAR, PI_ISBN, CUSTOMINFO, TEXT, DATEIN, DATEUPDATED, MYID, EXT, "
    "FILESIZE, FILENAME, FILEPATH, FILEDATE, USERID, USERNAME";

// Plausible values: titles and author lists of a few dozen characters,
// file names with folders, identifiers of 36.
const char *const kGenerator = R"(execute block as
declare i integer = 1;
declare n varchar(12);
begin
  while (i <= 200000) do
  begin
    n = cast(i as varchar(12));
    insert into BOOK (BOOKID, GENRELIST, ANNOTATION, AUTORLIST, KEYWORDS, BOOKNAME, DATEVALUE,
      DATEVISIBLE, LANG, SRCLANG, SEQUENCE, SEQNUMBER, SEQUENCEID, DI_PROGUSED, DI_DATEVALUE,
      DI_DATEVISIBLE, DI_SRCURL, DI_SRCOCR, OLDID, DI_VERSION, PI_BOOKNAME, PI_PUBLISHER,
      PI_CITY, PI_YEAR, PI_ISBN, DATEIN, DATEUPDATED, MYID, EXT, FILESIZE, FILENAME, FILEPATH,
      FILEDATE, USERID, USERNAME)
    values (:i, 'sf_fantasy:adv_history:', 'A short annotation of book ' || :n,
      'Ivanov Ivan Ivanovich, Petrova Maria ' || mod(:i, 97), 'magic, dragons, quest',
      'The Chronicles of Somewhere, volume ' || :n, '2009-05-01', '2009', 'ru', 'en',
      'The Chronicles of Somewhere', mod(:i, 12), mod(:i, 5000), 'FictionBook Editor 2.4',
      '2010-01-01', '1 January 2010', 'http://lib.example.org/b/' || :n, 'OCR by someone',
      'a1b2c3d4-' || lpad(:n, 8, '0') || '-4f5e-9a8b-7c6d5e4f3a2b', 1.1,
      'The Chronicles of Somewhere', 'Publisher House', 'Moscow', 2009, '978-5-17-000000-0',
      '2015-03-04 10:11:12', '2016-03-04 10:11:12', :i, 'fb2', 350000 + :i,
      'lib\Ivanov\' || :n || ' The Chronicles of Somewhere.fb2.zip', 'lib\Ivanov\',
      '2014-01-02 03:04:05', 1, 'librarian');
    i = i + 1;
  end
end)";

} // namespace

std::string selectText()
{
    return std::string("SELECT ") + kColumns + " FROM BOOK ";
}

std::filesystem::path bookDatabase()
{
    const std::filesystem::path folder = DORVIL_BENCH_CACHE;
    const std::filesystem::path file = folder / "books-200000.fdb";
    if (std::filesystem::exists(file))
        return file;
    std::filesystem::create_directories(folder);
    const std::filesystem::path building = folder / "books-building.fdb";
    std::filesystem::remove(building);
    {
        std::ofstream script(folder / "create.sql");
        std::ifstream schema(DORVIL_DB_SCHEMA);
        script << "SET SQL DIALECT 3;\nCREATE DATABASE '" << building.string()
               << "' USER 'SYSDBA' PASSWORD 'testpass' DEFAULT CHARACTER SET NONE;\n"
               << schema.rdbuf();
    }
    const std::string command = "isql-fb -q -b -i '" + (folder / "create.sql").string() + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("isql could not create " + building.string());
    std::printf("generating %d rows into %s ...\n", kRows, file.c_str());
    std::fflush(stdout);
    {
        Catalogue catalogue(building);
        catalogue.transaction.StartTransaction();
        TDbQuery generator(&catalogue.form, "Generator");
        generator.SetDatabase(&catalogue.database);
        generator.SetTransaction(&catalogue.transaction);
        generator.SetParamCheck(false); // the block's own :variables
        generator.SQL().SetText(kGenerator);
        generator.ExecQuery();
        catalogue.transaction.Commit();
    }
    std::filesystem::rename(building, file);
    return file;
}

Catalogue::Catalogue(const std::filesystem::path &file)
{
    database.SetDBName(file.string());
    database.SetDBParams({"user_name=SYSDBA", "password=testpass", "sql_role_name="});
    database.SetSQLDialect(3);
    database.SetDefaultTransaction(&transaction);
    database.SetConnected(true);
}

} // namespace bench
