#include "cli/suggest.h"

#include <algorithm>

namespace orv::cli {

namespace {

// Edits (insert, delete, replace, swap two neighbours) that turn a into b.
std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::string ClosestName(std::string_view word, const std::vector<std::string>& known) {
  std::string best;
  std::size_t best_distance = 0;
  for (const std::string& name : known) {
    const std::size_t d = Distance(word, name);
    if (best.empty() || d < best_distance) {
      best = name;
      best_distance = d;
    }
  }
  const std::size_t letters =
      word.size() > 2 && word.substr(0, 2) == "--" ? word.size() - 2 : word.size();
  const std::size_t allowed = letters <= 4 ? 1 : 2;
  if (!best.empty() && best_distance <= allowed) return best;
  // A word that begins exactly one name: cut short.
  std::string only;
  for (const std::string& name : known) {
    if (word.size() >= 3 && name.compare(0, word.size(), word) == 0) {
      if (!only.empty()) return "";
      only = name;
    }
  }
  return only;
}

std::string UnknownWordMessage(
    const std::vector<std::string>& args, const std::vector<std::string>& commands,
    const std::function<std::vector<std::string>(const std::string&)>& options_of) {
  std::string command;
  std::vector<std::string> options = options_of("");
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      const std::string name = arg.substr(0, arg.find('='));
      if (std::find(options.begin(), options.end(), name) != options.end()) continue;
      std::string message = "unknown option " + name;
      const std::string meant = ClosestName(name, options);
      if (!meant.empty()) message += "; did you mean " + meant + "?";
      return message;
    }
    if (command.empty() && !arg.empty() && arg[0] != '-') {
      if (std::find(commands.begin(), commands.end(), arg) == commands.end()) {
        std::string message = "unknown command " + arg;
        const std::string meant = ClosestName(arg, commands);
        if (!meant.empty()) message += "; did you mean " + meant + "?";
        return message;
      }
      command = arg;
      options = options_of(command);
    }
  }
  return "";
}

}  // namespace orv::cli
