#include "QtUserInterface.h"

#include "QtText.h"

#include "platform/FileSystem.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace app {
namespace {

const char *const kTitle = "Dorvil";

QMessageBox::StandardButtons buttonsOf(unsigned flags)
{
    switch (flags & 0x0F) {
    case platform::mb::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::mb::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case platform::mb::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconOf(unsigned flags)
{
    switch (flags & 0xF0) {
    case platform::mb::IconError:
        return QMessageBox::Critical;
    case platform::mb::IconQuestion:
        return QMessageBox::Question;
    case platform::mb::IconWarning:
        return QMessageBox::Warning;
    case platform::mb::IconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int answerOf(int button)
{
    switch (button) {
    case QMessageBox::Cancel:
        return platform::mb::IdCancel;
    case QMessageBox::Yes:
        return platform::mb::IdYes;
    case QMessageBox::No:
        return platform::mb::IdNo;
    default:
        return platform::mb::IdOk;
    }
}

} // namespace

int QtUserInterface::messageBox(std::string_view text, std::string_view caption, unsigned flags)
{
    QMessageBox box(iconOf(flags), fromAnsi(caption), fromAnsi(text), buttonsOf(flags),
                    QApplication::activeWindow());
    return answerOf(box.exec());
}

void QtUserInterface::showMessage(std::string_view text)
{
    QMessageBox::information(QApplication::activeWindow(), kTitle, fromAnsi(text));
}

void QtUserInterface::showError(std::string_view text)
{
    QMessageBox::critical(QApplication::activeWindow(), kTitle, fromAnsi(text));
}

std::optional<std::string> QtUserInterface::chooseFolder(std::string_view caption,
                                                         std::string_view startFolder)
{
    QFileDialog dialog(QApplication::activeWindow(), fromAnsi(caption));
    // A folder name typed in may not exist yet: any name is taken as typed.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QString::fromStdString(platform::nativePath(startFolder).string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return platform::programPath(dialog.selectedFiles().front().toStdString());
}

void QtUserInterface::processEvents()
{
    QCoreApplication::processEvents();
}

void QtUserInterface::setBusyCursor(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUserInterface::requestQuit()
{
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace app
