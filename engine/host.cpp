#include "engine/host.h"

#include <cstdio>

namespace orv {

const char* ControlName(Control c) {
  switch (c) {
    case Control::BitBtn1: return "BitBtn1";
    case Control::BitBtn2: return "BitBtn2";
    case Control::BitBtn3: return "BitBtn3";
    case Control::BitBtn4: return "BitBtn4";
    case Control::BitBtn5: return "BitBtn5";
    case Control::CheckBox1: return "CheckBox1";
    case Control::CheckBox2: return "CheckBox2";
    case Control::CheckBox3: return "CheckBox3";
    case Control::CheckBox4: return "CheckBox4";
    case Control::CheckBox5: return "CheckBox5";
    case Control::Button1: return "Button1";
    case Control::Button2: return "Button2";
    case Control::Button3: return "Button3";
    case Control::Memo4: return "Memo4";
    case Control::Memo5: return "Memo5";
  }
  return "?";
}

void RunHost::Notice(std::string_view line) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(stderr);
}

}  // namespace orv
