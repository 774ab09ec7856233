#ifndef ORVANTOR_UI_QT_WINDOW_SERVICES_H_
#define ORVANTOR_UI_QT_WINDOW_SERVICES_H_

#include <string_view>

#include <QString>

#include "ui/window_services.h"

namespace orv::ui {

// The real services: Qt's file dialogs and message boxes, the file queries
// and the power-off of platform/.
class QtWindowServices final : public WindowServices {
 public:
  // Qt's file dialogs keep their history and last folder in the user's
  // settings and open there at the next program start; the window keeps
  // nothing between starts, so the services give the process's user
  // settings a place that holds nothing and takes nothing.
  QtWindowServices();

  bool OpenFileDialog(QWidget* owner, const FileDialog& dialog, std::string& chosen) override;
  bool SaveFileDialog(QWidget* owner, const FileDialog& dialog, std::string& chosen) override;
  int MessageBox(QWidget* owner, std::string_view text, std::string_view caption,
                 int style) override;
  bool FileExists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  std::int64_t FreeBytes(const std::string& path) override;
  platform::PowerOffResult PowerOff() override;
};

// A dialog filter in the window resource's form ("Kelmarch Worldfile
// (*.scp)|*.scp", pairs separated by "|") in Qt's form ("Kelmarch Worldfile
// (*.scp)", filters separated by ";;"). A description that does not already
// show its patterns gets them appended in parentheses.
QString QtFilter(std::string_view filter);

}  // namespace orv::ui

#endif  // ORVANTOR_UI_QT_WINDOW_SERVICES_H_
