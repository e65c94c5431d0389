#include "reconcile/ComponentSet.h"

namespace reconcile {

const char *const kBookSelect =
    "select BOOKID, GENRELIST, ANNOTATION, AUTORLIST, KEYWORDS, BOOKNAME, DATEVALUE, "
    "DATEVISIBLE, LANG, COVERPAGE, SRCLANG, SEQUENCE, SEQNUMBER, SEQUENCEID, DI_PROGUSED, "
    "DI_DATEVALUE, DI_DATEVISIBLE, DI_SRCURL, DI_SRCOCR, OLDID, DI_VERSION, DI_HISTORY, "
    "PI_BOOKNAME, PI_PUBLISHER, PI_CITY, PI_YEAR, PI_ISBN, CUSTOMINFO, TEXT, DATEIN, "
    "DATEUPDATED, MYID, EXT, FILESIZE, FILENAME, FILEPATH, FILEDATE, USERID, USERNAME "
    "from BOOK";

ComponentSet::ComponentSet(db::TComponent &owner)
    : DbDatabase1(&owner, "DbDatabase1"), DbTransaction1(&owner, "DbTransaction1"),
      DbDataSet1(&owner, "DbDataSet1"), tblDoubleBook(&owner, "tblDoubleBook"),
      DbQuery1(&owner, "DbQuery1")
{
    DbDatabase1.SetSQLDialect(3);
    DbDatabase1.SetDefaultTransaction(&DbTransaction1);
    DbTransaction1.SetDefaultDatabase(&DbDatabase1);
    for (db::TDbDataSet *dataSet : {&DbDataSet1, &tblDoubleBook}) {
        dataSet->SetDatabase(&DbDatabase1);
        dataSet->SetTransaction(&DbTransaction1);
    }
    DbDataSet1.SelectSQL().SetText(kBookSelect);
    DbQuery1.SetDatabase(&DbDatabase1);
    DbQuery1.SetTransaction(&DbTransaction1);
    ZipReader1.SetOverwriteMode(zip::TOverwriteMode::Always);
    ZipReader1.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
}

void ComponentSet::Connect(const std::string &dataBaseFile, const std::string &userName,
                           const std::string &password)
{
    DbDatabase1.ConnectParams().SetUserName(userName);
    DbDatabase1.ConnectParams().SetPassword(password);
    DbDatabase1.ConnectParams().SetRoleName("");
    DbDatabase1.SetDBName(dataBaseFile);
    DbDatabase1.SetConnected(true);
}

Components ComponentSet::view()
{
    return {DbTransaction1, DbDataSet1, tblDoubleBook, DbQuery1, ZipReader1};
}

} // namespace reconcile
