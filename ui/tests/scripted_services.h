#ifndef ORVANTOR_UI_TESTS_SCRIPTED_SERVICES_H_
#define ORVANTOR_UI_TESTS_SCRIPTED_SERVICES_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ui/window_services.h"

// The window's services with every answer scripted and every call recorded:
// no dialog waits for a user and nothing is ever powered off.
class ScriptedServices final : public orv::ui::WindowServices {
 public:
  struct Box {
    std::string text, caption;
    int style;
  };

  // Answers of the file dialogs, in order; nullopt cancels. A dialog asked
  // with no answer left is cancelled.
  std::deque<std::optional<std::string>> dialog_answers;
  // Answers of the message boxes, in order; kIdOk when none is left.
  std::deque<int> box_answers;
  // Files that exist besides those really on disk; files that may not be
  // written; free bytes by path (default_free_bytes for the rest).
  std::set<std::string> existing;
  std::set<std::string> read_only;
  std::map<std::string, std::int64_t> free_bytes;
  std::int64_t default_free_bytes = std::int64_t{1} << 40;
  // What PowerOff answers; called back when the power-off is asked for.
  orv::platform::PowerOffResult power_off_result;
  std::function<void()> on_power_off;

  // Every call, in order, as "OpenFileDialog OpenDialog1",
  // "MessageBox Question|File Exists, overwrite?|33", "FreeBytes /x/y", ...
  std::vector<std::string> calls;
  std::vector<Box> boxes;
  // The folder each file dialog was asked to open in (its InitialDir), in
  // order.
  std::vector<std::string> dialog_folders;
  // Called back while a message box is up, before it is answered.
  std::function<void()> on_box;
  int power_offs = 0;

  // The recorded calls whose text begins with `prefix`.
  std::vector<std::string> CallsOf(const std::string& prefix) const;

  bool OpenFileDialog(QWidget* owner, const orv::ui::FileDialog& dialog,
                      std::string& chosen) override;
  bool SaveFileDialog(QWidget* owner, const orv::ui::FileDialog& dialog,
                      std::string& chosen) override;
  int MessageBox(QWidget* owner, std::string_view text, std::string_view caption,
                 int style) override;
  bool FileExists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  std::int64_t FreeBytes(const std::string& path) override;
  orv::platform::PowerOffResult PowerOff() override;

 private:
  bool Dialog(const char* kind, const orv::ui::FileDialog& dialog, std::string& chosen);
};

#endif  // ORVANTOR_UI_TESTS_SCRIPTED_SERVICES_H_
