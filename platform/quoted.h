#ifndef ORVANTOR_PLATFORM_QUOTED_H_
#define ORVANTOR_PLATFORM_QUOTED_H_

#include <string>
#include <string_view>

namespace orv::platform {

// A file name as it stands in a message: in single quotes, with every
// control character written as an escape ("\n", "\t", "\x1b" ...) and a
// quote or backslash of the name escaped too (on Windows, where the
// backslash separates folders, it stands as it is). A name with a line
// break or a terminal escape in it then can neither split a message line
// nor forge one. Bytes of 128 and above pass as they are, so that names in
// UTF-8 stay readable.
std::string Quoted(std::string_view name);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_QUOTED_H_
