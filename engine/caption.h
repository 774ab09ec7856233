#ifndef ORVANTOR_ENGINE_CAPTION_H_
#define ORVANTOR_ENGINE_CAPTION_H_

// The program's own names. The window shows the caption in its title bar;
// a run copies it into the first line of both files and titles its
// missing-source box with it, so every host gives this one.

#include <string_view>

namespace orv {

// The version label: fixed when the program is loaded, shown only in the
// caption.
inline constexpr std::string_view kVersionLabel = "v4.0 FULL";

// The window caption: "ORVANTOR ", the version label, " - Pellacord".
inline constexpr std::string_view kCaption = "ORVANTOR v4.0 FULL - Pellacord";
static_assert(kCaption.substr(9, kVersionLabel.size()) == kVersionLabel);

// The name under which the system lists the running program.
inline constexpr std::string_view kApplicationTitle = "ORVANTOR 4";

}  // namespace orv

#endif  // ORVANTOR_ENGINE_CAPTION_H_
