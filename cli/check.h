#ifndef ORVANTOR_CLI_CHECK_H_
#define ORVANTOR_CLI_CHECK_H_

// `orvantor check SOURCE`: reads and analyses a save without writing
// anything and lists what an administrator should know before converting.

#include <string>
#include <vector>

#include "cli/main.h"
#include "engine/save_check.h"

namespace orv::cli {

struct CheckOptions {
  std::string source;
  bool all = false;    // list every finding, not the first of each kind
  bool json = false;   // JSON Lines instead of text
  bool quiet = false;  // no status texts
};

// Runs the check and prints its findings on stdout; returns the exit status.
int RunCheck(const CheckOptions& options);

// The findings for a person: the count of each kind, then the first
// `shown` findings of each kind found (every one when `all`).
std::string FindingsText(const std::vector<Finding>& findings, const std::string& source, bool all,
                         std::size_t shown = 10);

// One finding as a JSON object and a line feed: "finding", "serial",
// "line", then the kind's own fields.
std::string FindingJson(const Finding& finding);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_CHECK_H_
