#include "ui/tests/scripted_services.h"

#include "engine/host.h"
#include "platform/file_system.h"

std::vector<std::string> ScriptedServices::CallsOf(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& c : calls)
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  return out;
}

bool ScriptedServices::Dialog(const char* kind, const orv::ui::FileDialog& dialog,
                              std::string& chosen) {
  calls.push_back(std::string(kind) + " " + dialog.setup.name);
  dialog_folders.push_back(dialog.InitialDir);
  if (dialog_answers.empty()) return false;
  std::optional<std::string> answer = dialog_answers.front();
  dialog_answers.pop_front();
  if (!answer) return false;
  chosen = *answer;
  return true;
}

bool ScriptedServices::OpenFileDialog(QWidget*, const orv::ui::FileDialog& dialog,
                                      std::string& chosen) {
  return Dialog("OpenFileDialog", dialog, chosen);
}

bool ScriptedServices::SaveFileDialog(QWidget*, const orv::ui::FileDialog& dialog,
                                      std::string& chosen) {
  return Dialog("SaveFileDialog", dialog, chosen);
}

int ScriptedServices::MessageBox(QWidget*, std::string_view text, std::string_view caption,
                                 int style) {
  boxes.push_back(Box{std::string(text), std::string(caption), style});
  calls.push_back("MessageBox " + std::string(caption) + "|" + std::string(text) + "|" +
                  std::to_string(style));
  if (on_box) on_box();
  if (box_answers.empty()) return orv::kIdOk;
  const int answer = box_answers.front();
  box_answers.pop_front();
  return answer;
}

bool ScriptedServices::FileExists(const std::string& path) {
  calls.push_back("FileExists " + path);
  return existing.count(path) != 0 || orv::platform::FileExists(path);
}

bool ScriptedServices::IsReadOnly(const std::string& path) {
  calls.push_back("IsReadOnly " + path);
  return read_only.count(path) != 0;
}

std::int64_t ScriptedServices::FreeBytes(const std::string& path) {
  calls.push_back("FreeBytes " + path);
  auto it = free_bytes.find(path);
  return it == free_bytes.end() ? default_free_bytes : it->second;
}

orv::platform::PowerOffResult ScriptedServices::PowerOff() {
  calls.push_back("PowerOff");
  ++power_offs;
  if (on_power_off) on_power_off();
  return power_off_result;
}
