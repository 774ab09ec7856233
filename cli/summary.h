#ifndef ORVANTOR_CLI_SUMMARY_H_
#define ORVANTOR_CLI_SUMMARY_H_

#include <string>

#include "engine/run.h"

namespace orv::cli {

// The end-of-run summary as text lines for a person.
std::string SummaryText(const RunSummary& s, const std::string& char_file,
                        const std::string& world_file);

// The same as one JSON object on one line.
std::string SummaryJson(const RunSummary& s, const std::string& char_file,
                        const std::string& world_file);

// `text` as a JSON string literal, quotes included; control characters are
// escaped. JSON text must be UTF-8, but a path is any bytes: well-formed
// UTF-8 passes through, and every other byte of 128 and above is written as
// the character of that number ("\u00ff" for the byte 0xff), so the object
// stays valid and the byte can still be told.
std::string JsonString(std::string_view text);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_SUMMARY_H_
