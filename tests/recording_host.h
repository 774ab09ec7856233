#ifndef ORVANTOR_TESTS_RECORDING_HOST_H_
#define ORVANTOR_TESTS_RECORDING_HOST_H_

// A RunHost for tests: settings are plain members, and every call the
// engine makes is recorded in order as a short text event, so a test can
// check status order, pump cadence, gauge values and the lock sequence.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"

namespace orv::testing {

class RecordingHost : public RunHost {
 public:
  RecordingHost();

  // Settings, read by the engine when it asks.
  std::string source, world_file, char_file;
  LineList positions, illegal;
  int position = 250;
  std::string caption = "ORVANTOR v4.0 FULL - Pellacord";
  bool cancel = false;  // answered by CancelRequested
  int message_box_answer = kIdOk;
  // Runs inside every ProcessMessages, as a window handler would.
  std::function<void(RecordingHost&)> on_process_messages;

  void Set(Switch s, bool on) { switches_[static_cast<int>(s)] = on; }
  // Every switch off, as a fresh window with nothing ticked.
  void ClearSwitches();

  // The events in order: "status:<text>", "progress:<n>", "pump",
  // "refresh", "enable:<control>=<0|1>", "msgbox:<caption>:<text>:<style>",
  // "shutdown", "error:<message>".
  std::vector<std::string> events;

  // The events that begin with `prefix`, with the prefix cut off.
  std::vector<std::string> Only(std::string_view prefix) const;
  std::vector<int> ProgressValues() const;
  // For each pump, the loop turn it fell on (1 = first), counting one turn
  // per gauge setting: right for loops that set the gauge every turn.
  std::vector<int> PumpTurns() const;
  void ClearEvents() { events.clear(); }

  // RunHost.
  std::string SourceFileName() override { return source; }
  std::string WorldFileName() override { return world_file; }
  std::string CharFileName() override { return char_file; }
  bool Checked(Switch s) override { return switches_[static_cast<int>(s)]; }
  LineList PositionList() override { return positions; }
  LineList IllegalList() override { return illegal; }
  int Position() override { return position; }
  std::string Caption() override { return caption; }
  void SetStatus(std::string_view text) override;
  void SetProgress(int value) override;
  void ProcessMessages() override;
  void Refresh() override;
  bool CancelRequested() override { return cancel; }
  void SetEnabled(Control c, bool enabled) override;
  int MessageBox(std::string_view text, std::string_view caption, int style) override;
  bool FileExists(const std::string& path) override;
  void ShutDownPC() override;
  void ReportError(std::string_view message) override;

 private:
  bool switches_[6] = {};
};

}  // namespace orv::testing

#endif  // ORVANTOR_TESTS_RECORDING_HOST_H_
