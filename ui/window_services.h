#ifndef ORVANTOR_UI_WINDOW_SERVICES_H_
#define ORVANTOR_UI_WINDOW_SERVICES_H_

// What the main window needs from the system around it: file dialogs,
// message boxes, a few file queries and the power-off. The window asks
// through this interface only, so that a test can script every answer and
// nothing real (a dialog waiting for a user, a computer switching off) ever
// happens under a test. QtWindowServices is the real implementation.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/power_off.h"

class QWidget;

namespace orv::ui {

// One of the window's file dialogs, as the window resource describes it.
struct FileDialogSpec {
  std::string name;         // the dialog's name in the window, e.g. "OpenDialog1"
  std::string title;        // empty: the platform's default title
  std::string filter;       // "description|pattern" pairs; empty: no filter
  std::string default_ext;  // appended to a name typed without one; empty: none
};

// A dialog together with the file name it holds: the name last confirmed in
// it, or set by the window (emptied when a target is refused). A run reads
// the paths from here, not from the text boxes. InitialDir is the folder the
// dialog opens in; the window sets it before each showing.
struct FileDialog {
  FileDialogSpec setup;
  std::string FileName;
  std::string InitialDir;
};

class WindowServices {
 public:
  virtual ~WindowServices() = default;

  // Modal open or save dialog of `owner`. It opens in dialog.InitialDir,
  // with dialog.FileName chosen when that file lies there; without an
  // InitialDir it opens at dialog.FileName, or where the platform likes.
  // Returns whether the user confirmed; then `chosen` holds the file name
  // (8-bit, as the file system spells it). Neither kind checks that the file
  // exists nor asks before an overwrite: the window asks its own questions.
  virtual bool OpenFileDialog(QWidget* owner, const FileDialog& dialog, std::string& chosen) = 0;
  virtual bool SaveFileDialog(QWidget* owner, const FileDialog& dialog, std::string& chosen) = 0;

  // Modal message box with the styles of engine/host.h (kMbOk, kMbOkCancel
  // combined with kMbIconHand or kMbIconQuestion). Returns kIdOk or kIdCancel;
  // Escape and the box's close button give kIdCancel where there is a Cancel.
  virtual int MessageBox(QWidget* owner, std::string_view text, std::string_view caption,
                         int style) = 0;

  virtual bool FileExists(const std::string& path) = 0;
  // Whether an existing file may not be written; a file whose attributes
  // cannot be read counts as read-only.
  virtual bool IsReadOnly(const std::string& path) = 0;
  // Free bytes where `path` would be written: 0 for a full or read-only
  // medium, -1 when it cannot be told.
  virtual std::int64_t FreeBytes(const std::string& path) = 0;

  // Asks the system to switch the computer off, ending running programs
  // without asking them (platform::RequestPowerOff).
  virtual platform::PowerOffResult PowerOff() = 0;
};

}  // namespace orv::ui

#endif  // ORVANTOR_UI_WINDOW_SERVICES_H_
