#include "writers/file_frame.h"

#include <string>

namespace orv {

void AppendFileOpening(LineSink& out, std::string_view caption) {
  out.Append(std::string("// ").append(caption));
  out.Append(std::string_view());
}

void AppendUnownedItemsHeading(LineSink& out) {
  out.Append(std::string_view("// unowned items"));
  out.Append(std::string_view());
}

void AppendFileEnd(LineSink& out) { out.Append(std::string_view("[EOF]")); }

}  // namespace orv
