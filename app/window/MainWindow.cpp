#include "MainWindow.h"

#include "QtText.h"

#include "db/Strings.h"
#include "platform/UserInterface.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <utility>

namespace app {
namespace {

constexpr std::chrono::milliseconds kLogFlushInterval{200};

const char *const kCaption = "Сверка базы для bokvard 1.4.2.1 ";
const char *const kRadioItems[] = {"Не менять ничего", "Изменять ID первой записи на ID файла",
                                   "Удалить все записи"};

template <typename Widget>
Widget *place(QWidget *parent, const char *name, QRect geometry, const QString &text = {})
{
    auto *widget = new Widget(parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    if constexpr (requires { widget->setText(text); })
        widget->setText(text);
    return widget;
}

} // namespace

void applyApplicationLook()
{
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies({"Liberation Sans", "DejaVu Sans Condensed"});
    font.setPixelSize(11);
    QApplication::setFont(font);
}

MainWindow::MainWindow(std::string programDir, const reconcile::Clock &clock)
    : m_form(*this, std::move(programDir), clock)
{
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(kCaption));
    createControls();
    m_logFlush = new QTimer(this);
    m_logFlush->setSingleShot(true);
    m_logFlush->setInterval(kLogFlushInterval);
    connect(m_logFlush, &QTimer::timeout, this, &MainWindow::flushLog);
    setTabOrder();
    connectButtons();
    resize(632, 471);
    move(249, 181);
}

MainWindow::~MainWindow()
{
    m_form.FormDestroy();
}

void MainWindow::createControls()
{
    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(193);

    btnCompare = place<QPushButton>(Panel2, "btnCompare", {4, 8, 75, 25}, "Сравнить");
    btnCompare->setToolTip("Сравнить файлы в базе с файлами книг на диске");
    cbxIsFileMove =
        place<QCheckBox>(Panel2, "cbxIsFileMove", {96, 12, 172, 17}, "Переносить лишние файлы");
    cbxSaveStruct = place<QCheckBox>(Panel2, "cbxSaveStruct", {96, 35, 240, 17},
                                     "Сохранять структуру папок при переносе");
    cbxIsEmptyFolderMove = place<QCheckBox>(Panel2, "cbxIsEmptyFolderMove", {96, 58, 161, 17},
                                            "Переносить пустые папки");
    Label1 = place<QLabel>(Panel2, "Label1", {4, 81, 104, 13}, "Папка для переноса");
    edtMoveTo = place<QLineEdit>(Panel2, "edtMoveTo", {4, 96, 309, 21});
    btnSelDir = place<QPushButton>(Panel2, "btnSelDir", {312, 96, 24, 22}, "...");
    btnDoubleSearch =
        place<QPushButton>(Panel2, "btnDoubleSearch", {342, 8, 75, 25}, "Дубли файлов");
    cbxDelDoubleRec =
        place<QCheckBox>(Panel2, "cbxDelDoubleRec", {359, 44, 152, 17}, "Удалять лишние записи");
    GroupBox1 = place<QGroupBox>(Panel2, "GroupBox1", {342, 67, 277, 120});
    GroupBox1->setTitle("Если Id файла не найден в базе");
    cbxMoveNotFound = place<QCheckBox>(GroupBox1, "cbxMoveNotFound", {17, 17, 241, 17},
                                       "Переносить файлы с ненайденными ID ");
    rgIDNotFound = place<QGroupBox>(GroupBox1, "rgIDNotFound", {14, 36, 249, 74});
    rgIDNotFound->setTitle("при отсутствии записи с ID файла");
    m_idNotFoundItems = new QButtonGroup(rgIDNotFound);
    for (int index = 0; index < 3; ++index) {
        auto *item = place<QRadioButton>(rgIDNotFound, "", {8, 17 + 18 * index, 238, 17},
                                         kRadioItems[index]);
        item->setObjectName(QString("rgIDNotFound_%1").arg(index));
        m_idNotFoundItems->addButton(item, index);
    }
    btnStop = place<QPushButton>(Panel2, "btnStop", {261, 161, 75, 25}, "Stop");
    btnDoubleBookAutorRel =
        place<QPushButton>(Panel2, "btnDoubleBookAutorRel", {423, 8, 75, 25}, "Дубли связей");
    Gauge1 = place<QProgressBar>(Panel2, "Gauge1", {4, 161, 251, 25});
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setTextVisible(true);
    Gauge1->setFormat("%p%");
    Gauge1->setAlignment(Qt::AlignCenter);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the controls, as in every other control of the window.
    Memo1->setTabChangesFocus(true);
    QFont bold = Memo1->font();
    bold.setBold(true);
    Memo1->setFont(bold);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(Memo1, 1);
    layout->addWidget(StatusBar1);
}

void MainWindow::setTabOrder()
{
    const QList<QWidget *> order{Memo1,
                                 btnCompare,
                                 cbxIsFileMove,
                                 cbxSaveStruct,
                                 cbxIsEmptyFolderMove,
                                 edtMoveTo,
                                 btnSelDir,
                                 btnDoubleSearch,
                                 cbxDelDoubleRec,
                                 cbxMoveNotFound,
                                 m_idNotFoundItems->button(0),
                                 m_idNotFoundItems->button(1),
                                 m_idNotFoundItems->button(2),
                                 btnStop,
                                 btnDoubleBookAutorRel};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::connectButtons()
{
    connect(btnCompare, &QPushButton::clicked, this,
            [this] { runClick(&TForm1::btnCompareClick); });
    connect(btnDoubleSearch, &QPushButton::clicked, this,
            [this] { runClick(&TForm1::btnDoubleSearchClick); });
    connect(btnDoubleBookAutorRel, &QPushButton::clicked, this,
            [this] { runClick(&TForm1::btnDoubleBookAutorRelClick); });
    connect(btnStop, &QPushButton::clicked, this, [this] { m_form.btnStopClick(); });
    connect(btnSelDir, &QPushButton::clicked, this, [this] { btnSelDirClick(); });
}

void MainWindow::runClick(bool (TForm1::*handler)())
{
    m_running = true;
    (m_form.*handler)();
    m_running = false;
    if (m_closePending)
        close();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    m_form.FormShow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The run is still on the stack below this event: destroying the window
    // now would pull the components from under it. Stop it, close after.
    if (m_running) {
        m_form.btnStopClick();
        m_closePending = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void MainWindow::btnSelDirClick()
{
    const std::optional<std::string> chosen =
        platform::userInterface().chooseFolder(toAnsi(Label1->text()), toAnsi(edtMoveTo->text()));
    if (chosen)
        edtMoveTo->setText(fromAnsi(*chosen));
}

void MainWindow::AddLine(std::string_view text)
{
    if (text.empty())
        m_pendingLog.push_back(QString());
    for (const std::string &line : text.empty() ? std::vector<std::string>{} : db::SplitLines(text))
        m_pendingLog.push_back(fromAnsi(line));
    // Laying out and painting the pane costs far more than finding a line,
    // so during a run the lines reach it in batches, a few times a second.
    if (!m_busy)
        flushLog();
    else if (!m_logFlush->isActive())
        m_logFlush->start();
}

void MainWindow::flushLog()
{
    m_logFlush->stop();
    if (m_pendingLog.isEmpty())
        return;
    QScrollBar *scrollBar = Memo1->verticalScrollBar();
    const bool following = scrollBar->value() == scrollBar->maximum();
    QTextCursor cursor(Memo1->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const QString &line : std::as_const(m_pendingLog)) {
        // The empty pane's only block takes the first line; after that, even
        // a blank line is a block of its own (appending to an empty-looking
        // pane would fill that block again).
        if (m_logStarted || !Memo1->document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(line);
        m_logStarted = true;
    }
    cursor.endEditBlock();
    m_pendingLog.clear();
    if (following)
        scrollBar->setValue(scrollBar->maximum());
}

std::vector<std::string> MainWindow::LogLines()
{
    flushLog();
    std::vector<std::string> lines;
    const QTextDocument *document = Memo1->document();
    if (!m_logStarted && document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block != document->end(); block = block.next())
        lines.push_back(toAnsi(block.text()));
    return lines;
}

void MainWindow::SetProgress(int percent)
{
    const int shown = std::clamp(percent, 0, 100);
    // A repaint costs far more than a row of the comparison.
    if (shown != Gauge1->value())
        Gauge1->setValue(shown);
}

void MainWindow::SetBusy(bool busy)
{
    m_busy = busy;
    if (!busy)
        flushLog();
    btnCompare->setEnabled(!busy && m_form.WorkMode != 0);
    btnDoubleSearch->setEnabled(!busy);
    btnDoubleBookAutorRel->setEnabled(!busy);
    btnSelDir->setEnabled(!busy);
    btnStop->setEnabled(busy);
}

reconcile::Preferences MainWindow::CurrentPreferences()
{
    reconcile::Preferences preferences;
    preferences.MoveFiles = cbxIsFileMove->isChecked();
    preferences.MoveEmptyDir = cbxIsEmptyFolderMove->isChecked();
    preferences.SaveStructure = cbxSaveStruct->isChecked();
    preferences.DelDoubleRec = cbxDelDoubleRec->isChecked();
    preferences.IdNotFound = m_idNotFoundItems->checkedId();
    preferences.MoveNotFound = cbxMoveNotFound->isChecked();
    return preferences;
}

std::string MainWindow::MoveToText()
{
    return toAnsi(edtMoveTo->text());
}

void MainWindow::ShowSettings(const reconcile::Preferences &preferences, const std::string &moveTo)
{
    cbxIsFileMove->setChecked(preferences.MoveFiles);
    cbxIsEmptyFolderMove->setChecked(preferences.MoveEmptyDir);
    cbxSaveStruct->setChecked(preferences.SaveStructure);
    cbxDelDoubleRec->setChecked(preferences.DelDoubleRec);
    setIdNotFound(preferences.IdNotFound);
    cbxMoveNotFound->setChecked(preferences.MoveNotFound);
    edtMoveTo->setText(fromAnsi(moveTo));
}

void MainWindow::setIdNotFound(int index)
{
    // An exclusive group never lets its last item go; -1 must show none.
    m_idNotFoundItems->setExclusive(false);
    for (QAbstractButton *item : m_idNotFoundItems->buttons())
        item->setChecked(m_idNotFoundItems->id(item) == index);
    m_idNotFoundItems->setExclusive(true);
}

} // namespace app
