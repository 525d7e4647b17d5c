#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "platform/qt/QtPeers.h"
#include "platform/qt/QtText.h"

namespace qv::platform::qt {

namespace {

// Windows message box flags beyond the button sets of Dialogs.h.
constexpr unsigned kMbButtonMask = 0x0F;
constexpr unsigned kMbIconMask = 0xF0;
constexpr unsigned kMbDefaultMask = 0xF00;
constexpr unsigned kMbAbortRetryIgnore = 2;
constexpr unsigned kMbYesNoCancel = 3;
constexpr unsigned kMbRetryCancel = 5;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbDefaultButton2 = 0x100;
constexpr unsigned kMbDefaultButton3 = 0x200;
constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5;

struct ButtonResult {
  QMessageBox::StandardButton button;
  int result;
};

constexpr ButtonResult kButtonResults[] = {
    {QMessageBox::Ok, kIdOk},       {QMessageBox::Cancel, kIdCancel}, {QMessageBox::Abort, kIdAbort},
    {QMessageBox::Retry, kIdRetry}, {QMessageBox::Ignore, kIdIgnore}, {QMessageBox::Yes, kIdYes},
    {QMessageBox::No, kIdNo},
};

// The buttons of a set, left to right as Windows shows them.
QList<QMessageBox::StandardButton> ButtonsOf(unsigned flags) {
  switch (flags & kMbButtonMask) {
    case kMbOkCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case kMbAbortRetryIgnore: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case kMbYesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case kMbYesNo: return {QMessageBox::Yes, QMessageBox::No};
    case kMbRetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};
  }
}

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & kMbIconMask) {
    case kMbIconError: return QMessageBox::Critical;
    case kMbIconQuestion: return QMessageBox::Question;
    case kMbIconWarning: return QMessageBox::Warning;
    case kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int ResultOf(QMessageBox::StandardButton button) {
  for (const ButtonResult& r : kButtonResults)
    if (r.button == button) return r.result;
  return 0;
}

// The box belongs to the active window, else to a visible one of ours: owned
// windows stay above their owner, which matters for a stay-on-top form.
QWidget* DialogOwner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && !w->isMinimized() && w->windowType() == Qt::Window) return w;
  return nullptr;
}

}  // namespace

int QtDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  const QList<QMessageBox::StandardButton> buttons = ButtonsOf(flags);
  QMessageBox box(IconOf(flags), TextToQt(caption), TextToQt(text), QMessageBox::NoButton, DialogOwner());
  // Error texts may hold anything; they are never markup.
  box.setTextFormat(Qt::PlainText);
  for (QMessageBox::StandardButton b : buttons) box.addButton(b);
  qsizetype defaultIndex = 0;
  if ((flags & kMbDefaultMask) == kMbDefaultButton2) defaultIndex = 1;
  if ((flags & kMbDefaultMask) == kMbDefaultButton3) defaultIndex = 2;
  if (defaultIndex < buttons.size()) box.setDefaultButton(buttons[defaultIndex]);
  {
    const DeferWidgetDeletion keepWidgets;
    box.exec();
  }
  const int result = ResultOf(box.standardButton(box.clickedButton()));
  if (result != 0) return result;
  // Closed without a button: what Escape means for the set.
  if (buttons.contains(QMessageBox::Cancel)) return kIdCancel;
  if (buttons.contains(QMessageBox::No)) return kIdNo;
  return ResultOf(buttons.last());
}

std::string QtFilterFromWindows(const std::string& filter) {
  const QStringList parts = QString::fromLatin1(filter).split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    patterns.removeAll(QString());
    if (patterns.isEmpty()) continue;
    const QString group = QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    // Qt reads the patterns from the last parentheses; a description that
    // already shows them is not repeated.
    if (description.endsWith(group))
      entries << description;
    else
      entries << (description.isEmpty() ? group : description + QLatin1Char(' ') + group);
  }
  return entries.join(QStringLiteral(";;")).toLatin1().toStdString();
}

FileDialogStart StartOfFileDialog(const FileDialogRequest& request) {
  FileDialogStart start;
  const QString preset = QFile::decodeName(request.fileName.c_str());
  const qsizetype slash = preset.lastIndexOf(QLatin1Char('/'));
  if (slash >= 0) {
    const QFileInfo info(preset);
    start.fileName = QFile::encodeName(info.fileName()).toStdString();
    if (info.dir().exists()) {
      start.directory = QFile::encodeName(info.dir().absolutePath()).toStdString();
      return start;
    }
  } else {
    // A Windows path's folder cannot exist here; its name is still the preset.
    const qsizetype backslash = preset.lastIndexOf(QLatin1Char('\\'));
    start.fileName = QFile::encodeName(preset.mid(backslash + 1)).toStdString();
  }
  const QString initial = QFile::decodeName(request.initialDirectory.c_str());
  const QFileInfo dir(initial);
  const QString chosenDir = !initial.isEmpty() && dir.isDir() ? dir.absoluteFilePath() : QDir::homePath();
  start.directory = QFile::encodeName(chosenDir).toStdString();
  return start;
}

bool QtDialogs::OpenFile(const FileDialogRequest& request, std::string& chosen) {
  const FileDialogStart start = StartOfFileDialog(request);
  QFileDialog dialog(DialogOwner(), TextToQt(request.title), QFile::decodeName(start.directory.c_str()),
                     QString::fromLatin1(QtFilterFromWindows(request.filter)));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!start.fileName.empty()) dialog.selectFile(QFile::decodeName(start.fileName.c_str()));
  int accepted = 0;
  {
    const DeferWidgetDeletion keepWidgets;
    accepted = dialog.exec();
  }
  if (accepted != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  chosen = QFile::encodeName(files.first()).toStdString();
  return true;
}

bool QtDialogs::ChooseFolder(const std::string& title, const std::string& initialDirectory,
                             std::string& chosen) {
  QFileDialog dialog(DialogOwner(), QString::fromLatin1(title), QFile::decodeName(initialDirectory.c_str()));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  int accepted = 0;
  {
    const DeferWidgetDeletion keepWidgets;
    accepted = dialog.exec();
  }
  if (accepted != QDialog::Accepted) return false;
  const QStringList folders = dialog.selectedFiles();
  if (folders.isEmpty()) return false;
  chosen = QFile::encodeName(folders.first()).toStdString();
  return true;
}

void QtDialogs::Beep() {
  QApplication::beep();
}

}  // namespace qv::platform::qt
