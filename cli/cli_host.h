#ifndef ORVANTOR_CLI_CLI_HOST_H_
#define ORVANTOR_CLI_CLI_HOST_H_

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/host.h"

namespace orv::cli {

// The settings of one `orvantor convert`, in the window's terms.
struct ConvertOptions {
  std::string source;
  std::string world_file;
  std::string char_file;
  bool delete_npcs = true;
  bool shrink_pets = true;
  bool delete_respawn_points = true;
  bool move_chars = false;
  bool illegal_items = false;
  bool power_off = false;
  LineList positions;
  LineList illegal;
  int position = 250;
  bool quiet = false;
  bool dry_run = false;  // for the count of the steps: a dry run saves nothing
};

// The command line as the conversion's host: status texts go to stderr, with
// a progress bar when stderr is a terminal.
class CliHost final : public RunHost {
 public:
  CliHost(const ConvertOptions& options, std::FILE* err);
  ~CliHost() override;

  std::string SourceFileName() override { return o_.source; }
  std::string WorldFileName() override { return o_.world_file; }
  std::string CharFileName() override { return o_.char_file; }
  bool Checked(Switch s) override;
  LineList PositionList() override { return o_.positions; }
  LineList IllegalList() override { return o_.illegal; }
  int Position() override { return o_.position; }
  std::string Caption() override;

  void SetStatus(std::string_view text) override;
  void SetProgress(int value) override;
  void SetProgressRepeated(int value, std::uint64_t times) override {
    if (times != 0) SetProgress(value);
  }
  void ProcessMessages() override {}
  void Refresh() override;

  void SetEnabled(Control, bool) override {}
  int MessageBox(std::string_view text, std::string_view caption, int style) override;
  bool FileExists(const std::string& path) override;
  void ShutDownPC() override;
  void ReportError(std::string_view message) override;
  void Notice(std::string_view line) override;

  // Whether the run reached its power-off step with the power-off asked
  // for. The command line requests it only once the summary is out.
  bool PowerOffAsked() const { return power_off_asked_; }

  // The number of stages the status texts announce, for "[n/N]"; by
  // default those of a convert with these options.
  void SetSteps(int steps) { steps_ = steps; }

 private:
  void ClearBar();
  void DrawBar();

  const ConvertOptions& o_;
  std::FILE* err_;
  bool tty_;
  bool escapes_;
  int progress_ = 0;
  int drawn_ = -1;
  bool bar_shown_ = false;
  std::string status_;
  int step_ = 0;
  int steps_;
  std::size_t drawn_length_ = 0;  // of the progress line drawn last
  std::chrono::steady_clock::time_point last_draw_{};
  bool power_off_asked_ = false;
};

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_CLI_HOST_H_
