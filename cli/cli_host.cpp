#include "cli/cli_host.h"

#include <algorithm>

#include "platform/console.h"
#include "platform/file_system.h"

namespace orv::cli {

CliHost::CliHost(const ConvertOptions& options, std::FILE* err)
    : o_(options),
      err_(err),
      tty_(!options.quiet && platform::IsTerminal(err)),
      escapes_(platform::TakesEscapeCodes(err)) {}

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

std::string CliHost::Caption() { return "ORVANTOR v4.0 FULL - Pellacord"; }

void CliHost::SetStatus(std::string_view text) {
  status_ = std::string(text);
  if (o_.quiet) return;
  ClearBar();
  platform::WriteText(err_, status_ + "\n");
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
  const int shown = progress_ < 0 ? 0 : (progress_ > 100 ? 100 : progress_);
  constexpr int kWidth = 40;
  char bar[kWidth + 1];
  const int filled = shown * kWidth / 100;
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(err_, "\r  [%s] %3d%%", bar, shown);
  std::fflush(err_);
  drawn_ = progress_;
  bar_shown_ = true;
}

void CliHost::ClearBar() {
  if (!bar_shown_) return;
  // Without escape codes, blanks over the bar's width ("\r  [...] 100%").
  std::fputs(escapes_ ? "\r\033[K" : "\r                                                 \r", err_);
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
