#include "tests/recording_host.h"

#include "platform/file_system.h"

namespace orv::testing {

RecordingHost::RecordingHost() { ClearSwitches(); }

void RecordingHost::ClearSwitches() {
  for (bool& s : switches_) s = false;
}

std::vector<std::string> RecordingHost::Only(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const std::string& e : events)
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e.substr(prefix.size()));
  return out;
}

std::vector<int> RecordingHost::ProgressValues() const {
  std::vector<int> out;
  for (const std::string& v : Only("progress:")) out.push_back(std::stoi(v));
  return out;
}

std::vector<int> RecordingHost::PumpTurns() const {
  std::vector<int> turns;
  int gauge_settings = 0;
  for (const std::string& e : events) {
    if (e == "pump") turns.push_back(gauge_settings + 1);
    if (e.compare(0, 9, "progress:") == 0) ++gauge_settings;
  }
  return turns;
}

void RecordingHost::SetStatus(std::string_view text) {
  events.push_back("status:" + std::string(text));
}

void RecordingHost::SetProgress(int value) {
  events.push_back("progress:" + std::to_string(value));
}

void RecordingHost::ProcessMessages() {
  events.push_back("pump");
  if (on_process_messages) on_process_messages(*this);
}

void RecordingHost::Refresh() { events.push_back("refresh"); }

void RecordingHost::SetEnabled(Control c, bool enabled) {
  events.push_back(std::string("enable:") + ControlName(c) + (enabled ? "=1" : "=0"));
}

int RecordingHost::MessageBox(std::string_view text, std::string_view box_caption, int style) {
  events.push_back("msgbox:" + std::string(box_caption) + ":" + std::string(text) + ":" +
                   std::to_string(style));
  return message_box_answer;
}

bool RecordingHost::FileExists(const std::string& path) { return platform::FileExists(path); }

void RecordingHost::ShutDownPC() { events.push_back("shutdown"); }

void RecordingHost::ReportError(std::string_view message) {
  events.push_back("error:" + std::string(message));
}

}  // namespace orv::testing
