#ifndef ORVANTOR_CLI_SUGGEST_H_
#define ORVANTOR_CLI_SUGGEST_H_

// Naming a misspelled option or command, with the one meant.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::cli {

// The name of `known` closest to `word` when it is near enough to be a
// slip (at most two letters apart, or one for short words, or `word`
// is the start of exactly one name), else "".
std::string ClosestName(std::string_view word, const std::vector<std::string>& known);

// The message for the first word of `args` (the command line without the
// program's name) that is neither a command of `commands` nor, after one,
// a long option of `options_of(command)` (names with their "--"): "unknown
// option --world-fil; did you mean --world-file?" or "unknown command
// conver; did you mean convert?". "" when every such word is known.
std::string UnknownWordMessage(
    const std::vector<std::string>& args, const std::vector<std::string>& commands,
    const std::function<std::vector<std::string>(const std::string&)>& options_of);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_SUGGEST_H_
