#include "cli/progress_line.h"

#include <algorithm>

#include "platform/console.h"

namespace orv::cli {

std::string StepLine(int step, int steps, std::string_view status) {
  return "[" + std::to_string(step) + "/" + std::to_string(steps) + "] " + std::string(status);
}

std::string ProgressLine(int step, int steps, int percent, int width) {
  percent = std::clamp(percent, 0, 100);
  steps = std::max(steps, 1);
  step = std::clamp(step, 1, steps);
  const int overall = ((step - 1) * 100 + percent) / steps;
  const std::string head = "  " + std::to_string(step) + "/" + std::to_string(steps) + " ";
  char tail[64];
  std::snprintf(tail, sizeof tail, " %3d%%  overall %3d%%", percent, overall);
  std::string line = head;
  // Room for the bar between its brackets; the overall part is dropped
  // before the bar gets narrower than ten.
  std::string right = tail;
  int room = width - 1 - static_cast<int>(head.size()) - 2 - static_cast<int>(right.size());
  if (room < 10) {
    char short_tail[16];
    std::snprintf(short_tail, sizeof short_tail, " %3d%%", percent);
    right = short_tail;
    room = width - 1 - static_cast<int>(head.size()) - 2 - static_cast<int>(right.size());
  }
  if (room < 3) return (head + right).substr(0, static_cast<std::size_t>(std::max(width - 1, 1)));
  room = std::min(room, 60);
  const int filled = percent * room / 100;
  line += '[';
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(room - filled), '.');
  line += ']';
  line += right;
  return line;
}

int TerminalWidth(std::FILE* stream) { return platform::TerminalColumns(stream); }

}  // namespace orv::cli
