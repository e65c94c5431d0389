// The window under Qt's offscreen platform, over a real catalogue and a real
// library folder. Dialogs go through a recording user interface that answers
// at once; pending events are really processed, so clicks reach the window
// while a run is on.

#include "MainWindow.h"
#include "ProgramFolder.h"

#include "FileContents.h"
#include "LibraryFiles.h"
#include "RecordingUserInterface.h"

#include "platform/Text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <functional>
#include <memory>

using testing_support::ProgramFolder;

namespace {

/// Records the dialogs and lets a test act while a run processes events.
class EventsUserInterface : public testing_support::RecordingUserInterface {
public:
    void processEvents() override
    {
        RecordingUserInterface::processEvents();
        if (duringEvents)
            duringEvents(eventPumps);
        QCoreApplication::processEvents();
    }
    std::function<void(int pumps)> duringEvents;
};

const char *const kFourBooks = "insert into BOOK (BOOKID, FILENAME) values (1, 'a\\1.zip');"
                               "insert into BOOK (BOOKID, FILENAME) values (2, 'a\\2.zip');"
                               "insert into BOOK (BOOKID, FILENAME) values (3, 'a\\3.zip');"
                               "insert into BOOK (BOOKID, FILENAME) values (4, 'a\\4.zip');";

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    /// A window over a fresh manager folder, shown (which runs start-up).
    app::MainWindow &open(const std::string &catalogueSql = kFourBooks, int workMode = 1,
                          const std::string &ownSettings = {})
    {
        m_window.reset();
        m_folder = std::make_unique<ProgramFolder>(catalogueSql, workMode, ownSettings);
        m_window = std::make_unique<app::MainWindow>(m_folder->programDir(), m_clock);
        m_window->show();
        return *m_window;
    }
    template <typename Widget = QWidget> Widget *control(const char *name) const
    {
        auto *widget = m_window->findChild<Widget *>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    bool enabled(const char *name) const { return control(name)->isEnabled(); }
    /// The state of btnCompare, btnDoubleSearch, btnDoubleBookAutorRel, btnSelDir, btnStop.
    QString buttons() const
    {
        QString states;
        for (const char *name :
             {"btnCompare", "btnDoubleSearch", "btnDoubleBookAutorRel", "btnSelDir", "btnStop"})
            states += enabled(name) ? '1' : '0';
        return states;
    }
    QStringList memoLines() const
    {
        return control<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
    }

    EventsUserInterface m_ui;
    platform::ScopedUserInterface m_scopedUi{m_ui};
    struct : reconcile::Clock {
        platform::DateTime now() const override { return {2026, 12, 10, 0, 0, 0, 0}; }
    } m_clock;
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<app::MainWindow> m_window;

private slots:
    void init()
    {
        m_ui = EventsUserInterface();
        platform::setLocaleFormats({"dd.MM.yyyy", "H:mm:ss", ','});
    }
    void cleanup() { m_window.reset(); }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("expected");
        const struct {
            const char *name;
            QRect rect;
        } rows[] = {
            {"Panel2", {0, 0, 632, 193}},
            {"Memo1", {0, 193, 632, 259}},
            {"StatusBar1", {0, 452, 632, 19}},
            {"btnCompare", {4, 8, 75, 25}},
            {"cbxIsFileMove", {96, 12, 172, 17}},
            {"cbxSaveStruct", {96, 35, 240, 17}},
            {"cbxIsEmptyFolderMove", {96, 58, 161, 17}},
            {"Label1", {4, 81, 104, 13}},
            {"edtMoveTo", {4, 96, 309, 21}},
            {"btnSelDir", {312, 96, 24, 22}},
            {"btnDoubleSearch", {342, 8, 75, 25}},
            {"cbxDelDoubleRec", {359, 44, 152, 17}},
            {"GroupBox1", {342, 67, 277, 120}},
            {"cbxMoveNotFound", {17, 17, 241, 17}},
            {"rgIDNotFound", {14, 36, 249, 74}},
            {"btnStop", {261, 161, 75, 25}},
            {"btnDoubleBookAutorRel", {423, 8, 75, 25}},
            {"Gauge1", {4, 161, 251, 25}},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << QString(row.name) << row.rect;
    }
    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QRect, expected);
        open();
        QCOMPARE(m_window->size(), QSize(632, 471));
        QCOMPARE(control(name.toLatin1().constData())->geometry(), expected);
    }

    void windowCaptionHintAndLog()
    {
        open();
        QCOMPARE(m_window->windowTitle(), QString("Сверка базы для bokvard 1.4.2.1 "));
        QCOMPARE(control("btnCompare")->toolTip(),
                 QString("Сравнить файлы в базе с файлами книг на диске"));
        auto *memo = control<QPlainTextEdit>("Memo1");
        QVERIFY(!memo->isReadOnly());
        QVERIFY(memo->font().bold());
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(control<QProgressBar>("Gauge1")->text(), QString("0%"));
    }

    // Every caption is drawn whole at the window's font.
    void captionsFit()
    {
        open();
        for (auto *button : m_window->findChildren<QAbstractButton *>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            const QStyle *style = button->style();
            const QFontMetrics metrics = button->fontMetrics();
            // What a widget draws outside its own rectangle is cut off: a
            // push button's caption is centred in it, a check box's or radio
            // item's follows its indicator.
            const int needed =
                qobject_cast<QPushButton *>(button)
                    ? metrics.tightBoundingRect(button->text()).width()
                    : metrics.horizontalAdvance(button->text()) +
                          style->pixelMetric(QStyle::PM_IndicatorWidth, &option, button) +
                          style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, button);
            QVERIFY2(needed <= button->width(),
                     qPrintable(button->objectName() + QString(" needs %1").arg(needed)));
        }
        for (auto *box : m_window->findChildren<QGroupBox *>())
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->title()) + 16 <= box->width(),
                     qPrintable(box->objectName()));
        auto *label = control<QLabel>("Label1");
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QVERIFY(label->fontMetrics().height() <= label->height() + 1);
    }

    void tabOrderStartsWithTheLog()
    {
        open();
        QStringList order;
        QWidget *widget = control("Memo1");
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && !qobject_cast<QRadioButton *>(widget))
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != control("Memo1"));
        QCOMPARE(order, (QStringList{"Memo1", "btnCompare", "cbxIsFileMove", "cbxSaveStruct",
                                     "cbxIsEmptyFolderMove", "edtMoveTo", "btnSelDir",
                                     "btnDoubleSearch", "cbxDelDoubleRec", "cbxMoveNotFound",
                                     "btnStop", "btnDoubleBookAutorRel"}));
    }

    void beforeStartUpEverythingIsEnabledAndClear()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_window = std::make_unique<app::MainWindow>(m_folder->programDir(), m_clock);
        QCOMPARE(buttons(), QString("11111"));
        for (auto *box : m_window->findChildren<QCheckBox *>())
            QVERIFY(!box->isChecked());
        for (auto *item : m_window->findChildren<QRadioButton *>())
            QVERIFY(!item->isChecked());
    }

    void startUpShowsThePreferencesAndGoesIdle()
    {
        open(kFourBooks, 1,
             "MoveFiles=0\r\nMoveEmptyDir=1\r\nSaveStructure=0\r\nDelDoubleRec=1\r\n"
             "IdNotFound=-5\r\nMoveNotFound=1\r\n");
        QCOMPARE(buttons(), QString("11110"));
        QVERIFY(!control<QCheckBox>("cbxIsFileMove")->isChecked());
        QVERIFY(control<QCheckBox>("cbxIsEmptyFolderMove")->isChecked());
        QVERIFY(!control<QCheckBox>("cbxSaveStruct")->isChecked());
        QVERIFY(control<QCheckBox>("cbxDelDoubleRec")->isChecked());
        QVERIFY(control<QCheckBox>("cbxMoveNotFound")->isChecked());
        for (auto *item : m_window->findChildren<QRadioButton *>())
            QVERIFY(!item->isChecked());
        QCOMPARE(m_window->CurrentPreferences().IdNotFound, -1);
        QCOMPARE(control<QLineEdit>("edtMoveTo")->text(),
                 QString::fromStdString(platform::ansiToUtf8(m_window->form().MoveTo)));
        QVERIFY(m_ui.messages.empty());
        QVERIFY(m_ui.errors.empty());
    }

    void workModeZeroWarnsAndKeepsCompareDisabled()
    {
        open({}, 0);
        QCOMPARE(m_ui.messages, (std::vector<std::string>{platform::utf8ToAnsi(
                                    "Книги хранятся в базе! Сравнение файлов и базы лишено "
                                    "смысла!")}));
        QCOMPARE(buttons(), QString("01110"));
        QTest::mouseClick(control<QPushButton>("btnDoubleBookAutorRel"), Qt::LeftButton);
        QCOMPARE(buttons(), QString("01110"));
        QVERIFY(m_ui.errors.empty());
    }

    void failedConnectionShowsThePreferencesButLeavesTheButtons()
    {
        m_folder = std::make_unique<ProgramFolder>(kFourBooks, 1, "IdNotFound=1\r\n");
        m_folder->writeManagerSettings(1, m_folder->native("missing.fdb").string());
        m_window = std::make_unique<app::MainWindow>(m_folder->programDir(), m_clock);
        m_window->show();
        QCOMPARE(m_ui.errors.size(), size_t(1));
        QVERIFY(m_ui.errors[0].find("missing.fdb") != std::string::npos);
        QCOMPARE(buttons(), QString("11111"));
        QVERIFY(control<QRadioButton>("rgIDNotFound_1")->isChecked());

        // A check started now fails with the database layer's error, and
        // the frame still returns the buttons and the cursor.
        QTest::mouseClick(control<QPushButton>("btnCompare"), Qt::LeftButton);
        QCOMPARE(m_ui.errors.size(), size_t(2));
        QCOMPARE(m_ui.busyChanges, (std::vector<bool>{true, false}));
        QCOMPARE(buttons(), QString("11110"));
    }

    void buttonsAreBusyDuringARunAndStopIsHonoured()
    {
        open();
        QString during;
        m_ui.duringEvents = [&](int pumps) {
            if (pumps == 2) {
                during = buttons();
                QTest::mouseClick(control<QPushButton>("btnStop"), Qt::LeftButton);
            }
        };
        QTest::mouseClick(control<QPushButton>("btnCompare"), Qt::LeftButton);
        QCOMPARE(during, QString("00001"));
        QCOMPARE(buttons(), QString("11110"));
        QVERIFY(memoLines().contains("Поиск прерван"));
        QCOMPARE(m_ui.busyChanges, (std::vector<bool>{true, false}));
        QVERIFY(m_ui.errors.empty());
    }

    // The pane takes a run's lines in batches, but they reach it while the
    // run goes on, and none is lost or reordered when the run ends.
    void logLinesReachThePaneDuringARun()
    {
        open("insert into BOOK (BOOKID, FILENAME) values (1, 'a\\gone.zip');"
             "insert into BOOK (BOOKID, FILENAME) values (2, 'a\\lost.zip');");
        bool shownDuring = false;
        m_ui.duringEvents = [&](int pumps) {
            if (pumps == 2)
                shownDuring = QTest::qWaitFor(
                    [&] { return memoLines().contains("Ссылки из базы на несуществующие файлы"); },
                    2000);
        };
        QTest::mouseClick(control<QPushButton>("btnCompare"), Qt::LeftButton);
        QVERIFY(shownDuring);
        const QStringList lines = memoLines();
        const qsizetype title = lines.indexOf("Ссылки из базы на несуществующие файлы");
        QVERIFY(title > 0);
        QCOMPARE(lines.mid(title, 4),
                 (QStringList{"Ссылки из базы на несуществующие файлы", "a\\gone.zip",
                              "a\\lost.zip", "Найдено файлов - 2"}));
    }

    void progressOfTheDatabasePassAndClamping()
    {
        open();
        QSignalSpy shown(control<QProgressBar>("Gauge1"), &QProgressBar::valueChanged);
        QTest::mouseClick(control<QPushButton>("btnCompare"), Qt::LeftButton);
        QList<int> values;
        for (const QList<QVariant> &signal : shown)
            values << signal.at(0).toInt();
        QCOMPARE(values.mid(0, 4), (QList<int>{12, 25, 38, 50}));
        m_window->SetProgress(137);
        QCOMPARE(control<QProgressBar>("Gauge1")->value(), 100);
        QCOMPARE(control<QProgressBar>("Gauge1")->text(), QString("100%"));
        m_window->SetProgress(-4);
        QCOMPARE(control<QProgressBar>("Gauge1")->value(), 0);
    }

    void logStartsBlankAndIsSavedWithCrLf()
    {
        open();
        QTest::mouseClick(control<QPushButton>("btnDoubleBookAutorRel"), Qt::LeftButton);
        QCOMPARE(m_ui.eventPumps, 0); // the link check never lets the window in
        m_window->AddLine(platform::utf8ToAnsi("первая\r\nвторая"));
        const QStringList lines = memoLines();
        QCOMPARE(lines.value(0), QString(""));
        QCOMPARE(lines.value(1), QString("Поиск дублей bookid,autorid в таблице book_autor"));
        QCOMPARE(lines.value(2), QString("10.12.2026"));
        QCOMPARE(lines.mid(lines.size() - 2), (QStringList{"первая", "вторая"}));

        // Text the user types becomes part of the log as well.
        control<QPlainTextEdit>("Memo1")->appendPlainText("заметка");
        m_window.reset();
        const std::string saved = testing_support::readFile(m_folder->native("manager/last.log"));
        QVERIFY(saved.starts_with(
            "\r\n" + platform::utf8ToAnsi("Поиск дублей bookid,autorid в таблице book_autor")));
        QVERIFY(saved.ends_with(platform::utf8ToAnsi("вторая\r\nзаметка\r\n")));
    }

    void duplicateFilesRunInTheWindow()
    {
        open("insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (1, 'd\\s.zip', 'ID-A', "
             "'A');"
             "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (2, 'd\\s.zip', 'ID-B', "
             "'B');",
             1, "DelDoubleRec=1\r\n");
        testing_support::writeZip(m_folder->native("library/d/s.zip"),
                                  {{"b.fb2", testing_support::fb2Document("ID-A")}});
        QVERIFY(std::filesystem::exists(m_folder->native("library/d/s.zip")));
        QTest::mouseClick(control<QPushButton>("btnDoubleSearch"), Qt::LeftButton);
        const QStringList lines = memoLines();
        QVERIFY(lines.contains("  fb2 file id - ID-A"));
        QVERIFY(lines.contains("  Запись с ID ID-B удалена"));
        QCOMPARE(lines.last(), QString("Найдено дублей -1"));
        QVERIFY(m_ui.eventPumps > 0); // while the archive was read
        QCOMPARE(buttons(), QString("11110"));
        QVERIFY(m_window->form().DbDataSet1.Active());
        QVERIFY(!m_window->form().DbDataSet1.Filtered());
        QCOMPARE(m_window->form().DbDataSet1.ServerRecordCount(), 1);
        QVERIFY(m_ui.errors.empty());
        QVERIFY(m_ui.busyChanges.empty()); // the duplicate checks leave the cursor alone
    }

    void preferencesAtExitAreWritten()
    {
        open();
        control<QCheckBox>("cbxDelDoubleRec")->setChecked(true);
        control<QRadioButton>("rgIDNotFound_2")->setChecked(true);
        control<QLineEdit>("edtMoveTo")->setText("typed only");
        const std::string moveTo = m_window->form().MoveTo;
        m_window.reset();
        const std::string settings =
            testing_support::readFile(m_folder->native("manager/Dorvil.ini"));
        QVERIFY(settings.find("DelDoubleRec=1\r\n") != std::string::npos);
        QVERIFY(settings.find("IdNotFound=2\r\n") != std::string::npos);
        // The edit box counts only once a comparison has read it.
        QVERIFY(settings.find("MoveTo=" + moveTo + "\r\n") != std::string::npos);
    }

    void folderChooserChosenAndCancelled()
    {
        open();
        auto *edit = control<QLineEdit>("edtMoveTo");
        edit->setText("/start");
        m_ui.chosenFolder = platform::utf8ToAnsi("\\home\\читатель\\moved");
        QTest::mouseClick(control<QPushButton>("btnSelDir"), Qt::LeftButton);
        QCOMPARE(edit->text(), QString("\\home\\читатель\\moved"));
        m_ui.chosenFolder.reset();
        QTest::mouseClick(control<QPushButton>("btnSelDir"), Qt::LeftButton);
        QCOMPARE(edit->text(), QString("\\home\\читатель\\moved"));
    }
};

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    app::applyApplicationLook();
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
