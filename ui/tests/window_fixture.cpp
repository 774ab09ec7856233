#include "ui/tests/window_fixture.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string Hex(int n, int width) {
  static const char digits[] = "0123456789abcdef";
  std::string s(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && n > 0; --i, n /= 16)
    s[static_cast<std::size_t>(i)] = digits[n % 16];
  return s;
}

}  // namespace

std::string SmallWorld(const WorldShape& shape) {
  std::string out;
  auto line = [&out](const std::string& l) { out += l + "\r\n"; };
  line("// written by ORV for the window tests");
  line("TITLE=ORV test shard");
  line("VERSION=0.55i");
  line("SAVECOUNT=17");
  int serial = 1;
  for (int p = 1; p <= shape.players; ++p) {
    const std::string player = Hex(serial++, 6);
    line("[WORLDCHAR 0190]");
    line("SERIAL=" + player);
    line("NAME=Player " + std::to_string(p));
    line("ACCOUNT=account" + std::to_string(p));
    line("P=100," + std::to_string(p) + ",0");
    if (!shape.backpacks) continue;
    const std::string pack = "4" + Hex(serial++, 7);
    line("[WORLDITEM 0e75]");
    line("SERIAL=" + pack);
    line("CONT=" + player);
    line("TYPE=1");
    for (int i = 0; i < shape.items_per_player; ++i) {
      line("[WORLDITEM 0f3f]");
      line("SERIAL=4" + Hex(serial++, 7));
      line("CONT=" + pack);
      line("AMOUNT=" + std::to_string(i + 1));
    }
  }
  for (int n = 1; n <= shape.npcs; ++n) {
    const std::string npc = Hex(serial++, 6);
    line("[WORLDCHAR 0191]");
    line("SERIAL=" + npc);
    line("NAME=Npc " + std::to_string(n));
    line("P=200," + std::to_string(n) + ",0");
    line("[WORLDITEM 01516]");
    line("SERIAL=4" + Hex(serial++, 7));
    line("CONT=" + npc);
  }
  for (int i = 1; i <= shape.loose; ++i) {
    line("[WORLDITEM 0eed]");
    line("SERIAL=4" + Hex(serial++, 7));
    line("P=300," + std::to_string(i) + ",0");
  }
  line("[EOF]");
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

WindowFixture::WindowFixture() : form(std::make_unique<TForm1>(world, services)) {}

WindowFixture::~WindowFixture() = default;

std::string WindowFixture::Path(const std::string& name) const {
  return dir.filePath(QString::fromStdString(name)).toStdString();
}

void WindowFixture::ChooseFiles(const std::string& source, const std::string& world_file,
                                const std::string& char_file) {
  services.dialog_answers.push_back(source);
  form->Button1Click();
  services.dialog_answers.push_back(world_file);
  form->Button2Click();
  services.dialog_answers.push_back(char_file);
  form->Button3Click();
}

void WindowFixture::PrepareRun(const WorldShape& shape) {
  WriteFile(Path("world.scp"), SmallWorld(shape));
  ChooseFiles(Path("world.scp"), Path("out_world.scp"), Path("out_chars.scp"));
}
