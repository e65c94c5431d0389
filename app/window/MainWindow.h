#pragma once
// The window: the controls of the reference layout over the program's core.
// It holds no behaviour of its own; it shows the core's state, hands clicks
// to the core, and answers the core's questions from its widgets.

#include "app/FrontEnd.h"
#include "app/TForm1.h"

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;

namespace app {

/// The look the reference layout was made for: one widget style everywhere
/// and a font whose 11-pixel glyphs fit every caption.
void applyApplicationLook();

class MainWindow : public QWidget, public FrontEnd {
public:
    explicit MainWindow(std::string programDir = {},
                        const reconcile::Clock &clock = reconcile::systemClock());
    /// Saves the log and shuts the core down.
    ~MainWindow() override;

    TForm1 &form() { return m_form; }

    // FrontEnd
    void AddLine(std::string_view text) override;
    void SetProgress(int percent) override;
    void SetBusy(bool busy) override;
    reconcile::Preferences CurrentPreferences() override;
    std::string MoveToText() override;
    void ShowSettings(const reconcile::Preferences &preferences,
                      const std::string &moveTo) override;
    std::vector<std::string> LogLines() override;

    void btnSelDirClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void setTabOrder();
    void connectButtons();
    /// Runs one click handler of the core; a close asked for meanwhile
    /// happens once the run is over.
    void runClick(bool (TForm1::*handler)());
    void setIdNotFound(int index);
    /// Puts the lines added since the last call into the log pane.
    void flushLog();

    TForm1 m_form;
    bool m_shown = false;
    bool m_running = false;
    bool m_closePending = false;
    bool m_logStarted = false;
    bool m_busy = false;
    QStringList m_pendingLog;
    QTimer *m_logFlush = nullptr;

    QWidget *Panel2 = nullptr;
    QPushButton *btnCompare = nullptr;
    QCheckBox *cbxIsFileMove = nullptr;
    QCheckBox *cbxSaveStruct = nullptr;
    QCheckBox *cbxIsEmptyFolderMove = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edtMoveTo = nullptr;
    QPushButton *btnSelDir = nullptr;
    QPushButton *btnDoubleSearch = nullptr;
    QCheckBox *cbxDelDoubleRec = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *cbxMoveNotFound = nullptr;
    QGroupBox *rgIDNotFound = nullptr;
    QButtonGroup *m_idNotFoundItems = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnDoubleBookAutorRel = nullptr;
    QProgressBar *Gauge1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
};

} // namespace app
