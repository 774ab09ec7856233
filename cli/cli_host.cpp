#include "cli/cli_host.h"

#include <algorithm>

#include "cli/progress_line.h"
#include "engine/caption.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace orv::cli {

namespace {

// Loading, the analysis, the passes that are on, the two files, saving
// (but in a dry run) and the power-off.
int ConvertSteps(const ConvertOptions& o) {
  return 2 + o.move_chars + (o.shrink_pets && o.delete_npcs) + o.delete_npcs +
         o.delete_respawn_points + o.illegal_items + (o.dry_run ? 2 : 3) + o.power_off;
}

// Status texts that announce no stage of their own: the wait for another
// run, the second half of a pass, and the end.
bool StartsAStep(std::string_view text) {
  return text != "ready" && text != "deleting memory objects linked to spawn points" &&
         text.substr(0, 12) != "waiting for ";
}

}  // namespace

CliHost::CliHost(const ConvertOptions& options, std::FILE* err)
    : o_(options),
      err_(err),
      tty_(!options.quiet && platform::IsTerminal(err)),
      escapes_(platform::TakesEscapeCodes(err)),
      steps_(ConvertSteps(options)) {}

CliHost::~CliHost() { ClearBar(); }

bool CliHost::Checked(Switch s) {
  switch (s) {
    case Switch::kIllegalItems: return o_.illegal_items;
    case Switch::kMoveChars: return o_.move_chars;
    case Switch::kShrinkPets: return o_.shrink_pets && o_.delete_npcs;
    case Switch::kDeleteNpcs: return o_.delete_npcs;
    case Switch::kDeleteRespawnPoints: return o_.delete_respawn_points;
    case Switch::kTurnOffPc: return o_.power_off;
  }
  return false;
}

std::string CliHost::Caption() { return std::string(kCaption); }

void CliHost::SetStatus(std::string_view text) {
  status_ = std::string(text);
  if (StartsAStep(text)) step_ = std::min(step_ + 1, steps_);
  progress_ = 0;
  if (o_.quiet) return;
  ClearBar();
  const std::string line = StartsAStep(text) ? StepLine(step_, steps_, text) : std::string(text);
  platform::WriteText(err_, line + "\n");
  drawn_ = -1;
}

void CliHost::SetProgress(int value) { progress_ = value; }

void CliHost::Refresh() {
  if (!tty_) return;
  const auto now = std::chrono::steady_clock::now();
  if (progress_ == drawn_ || now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  DrawBar();
}

void CliHost::DrawBar() {
  std::string line = ProgressLine(step_, steps_, progress_, TerminalWidth(err_));
  // Without escape codes, blanks over what a longer line left.
  const std::size_t length = line.size();
  if (!escapes_ && line.size() < drawn_length_) line.append(drawn_length_ - line.size(), ' ');
  std::fprintf(err_, "\r%s%s", line.c_str(), escapes_ ? "\033[K" : "");
  drawn_length_ = length;
  std::fflush(err_);
  drawn_ = progress_;
  bar_shown_ = true;
}

void CliHost::ClearBar() {
  if (!bar_shown_) return;
  // Without escape codes, blanks over the line drawn last.
  if (escapes_) {
    std::fputs("\r\033[K", err_);
  } else {
    std::fprintf(err_, "\r%s\r", std::string(drawn_length_, ' ').c_str());
  }
  std::fflush(err_);
  bar_shown_ = false;
}

int CliHost::MessageBox(std::string_view text, std::string_view, int) {
  ClearBar();
  // A box may hold several lines; on a terminal and in logs a failure reads
  // best as one line.
  std::string line(text);
  std::replace(line.begin(), line.end(), '\n', ';');
  platform::WriteText(err_, line + "\n");
  return kIdOk;
}

bool CliHost::FileExists(const std::string& path) { return platform::FileExists(path); }

void CliHost::ShutDownPC() { power_off_asked_ = true; }

void CliHost::ReportError(std::string_view message) {
  ClearBar();
  platform::WriteText(err_, std::string(message) + "\n");
}

}  // namespace orv::cli

namespace orv::cli {

void CliHost::Notice(std::string_view line) {
  ClearBar();
  platform::WriteText(err_, "orvantor: " + std::string(line) + "\n");
}

}  // namespace orv::cli
