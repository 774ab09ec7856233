#include "ui/qt_window_services.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStringList>

#include "engine/host.h"
#include "platform/file_system.h"
#include "platform/power_off.h"

#if defined(_WIN32)
#include <windows.h>
#undef MessageBox  // the system's macro would rename our own MessageBox
#endif

namespace orv::ui {

QString QtFilter(std::string_view filter) {
  QStringList parts = QString::fromLatin1(filter.data(), static_cast<qsizetype>(filter.size()))
                          .split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(' ');
    // Qt reads the patterns from the parentheses of the description.
    if (!description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
      description += QLatin1String(" (") + patterns + QLatin1Char(')');
    filters << description;
  }
  return filters.join(QLatin1String(";;"));
}

namespace {

bool RunFileDialog(QWidget* owner, const FileDialog& dialog, QFileDialog::AcceptMode mode,
                   std::string& chosen) {
  QFileDialog box(owner);
  box.setObjectName(QString::fromStdString(dialog.setup.name));
  box.setAcceptMode(mode);
  // The window checks existence and asks about overwriting itself.
  box.setFileMode(QFileDialog::AnyFile);
  box.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!dialog.setup.title.empty()) box.setWindowTitle(QString::fromLatin1(dialog.setup.title));
  if (!dialog.setup.filter.empty()) box.setNameFilter(QtFilter(dialog.setup.filter));
  if (!dialog.setup.default_ext.empty())
    box.setDefaultSuffix(QString::fromLatin1(dialog.setup.default_ext));
  const QString own = QFile::decodeName(dialog.FileName.c_str());
  if (!dialog.InitialDir.empty()) {
    const QDir folder(QFile::decodeName(dialog.InitialDir.c_str()));
    box.setDirectory(folder);
    // The dialog's own file only where it lies in that folder: choosing it
    // would take the dialog to the file's folder instead.
    if (!own.isEmpty() && QFileInfo(own).absoluteDir() == folder) box.selectFile(own);
  } else if (!own.isEmpty()) {
    box.selectFile(own);
  }
  if (box.exec() != QDialog::Accepted) return false;
  const QStringList files = box.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return false;
  chosen = QFile::encodeName(files.front()).toStdString();
  return true;
}

}  // namespace

QtWindowServices::QtWindowServices() {
#if !defined(_WIN32)
  // A folder that cannot exist: reading finds nothing, writing fails quietly.
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
#endif
}

bool QtWindowServices::OpenFileDialog(QWidget* owner, const FileDialog& dialog,
                                      std::string& chosen) {
  return RunFileDialog(owner, dialog, QFileDialog::AcceptOpen, chosen);
}

bool QtWindowServices::SaveFileDialog(QWidget* owner, const FileDialog& dialog,
                                      std::string& chosen) {
  return RunFileDialog(owner, dialog, QFileDialog::AcceptSave, chosen);
}

int QtWindowServices::MessageBox(QWidget* owner, std::string_view text, std::string_view caption,
                                 int style) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & 0xF0) {
    case kMbIconHand: icon = QMessageBox::Critical; break;
    case kMbIconQuestion: icon = QMessageBox::Question; break;
    case 0x30: icon = QMessageBox::Warning; break;
    case 0x40: icon = QMessageBox::Information; break;
    default: break;
  }
  const bool ok_cancel = (style & 0x0F) == kMbOkCancel;
  // The texts name files, so they are in the file system's 8-bit encoding.
  QMessageBox box(icon,
                  QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size())),
                  QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())),
                  ok_cancel ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok, owner);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(ok_cancel ? QMessageBox::Cancel : QMessageBox::Ok);
  const int answer = box.exec();
  return answer == QMessageBox::Ok || !ok_cancel ? kIdOk : kIdCancel;
}

bool QtWindowServices::FileExists(const std::string& path) { return platform::FileExists(path); }

bool QtWindowServices::IsReadOnly(const std::string& path) {
#if defined(_WIN32)
  return (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
#else
  return platform::IsReadOnly(path);
#endif
}

std::int64_t QtWindowServices::FreeBytes(const std::string& path) {
#if defined(_WIN32)
  // The drive is told by the path's first letter, upper-cased, as a number
  // (A is 1) computed in 8 bits; anything else names no drive and passes.
  unsigned char first = path.empty() ? 0 : static_cast<unsigned char>(path[0]);
  if (first >= 'a' && first <= 'z') first = static_cast<unsigned char>(first - 'a' + 'A');
  const unsigned char drive = static_cast<unsigned char>(first - 64);
  if (drive < 1 || drive > 26) return -1;
  const char root[] = {static_cast<char>('A' + drive - 1), ':', '\\', '\0'};
  ULARGE_INTEGER free_to_caller;
  if (GetDiskFreeSpaceExA(root, &free_to_caller, nullptr, nullptr) == 0) return -1;
  return static_cast<std::int64_t>(free_to_caller.QuadPart);
#else
  return platform::FreeBytes(path);
#endif
}

platform::PowerOffResult QtWindowServices::PowerOff() { return platform::RequestPowerOff(); }

}  // namespace orv::ui
