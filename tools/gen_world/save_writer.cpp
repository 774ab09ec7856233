#include "tools/gen_world/save_writer.h"

#include <cstring>

namespace gen_world {
namespace {

const char* const kNameParts[] = {
    "Al",  "Bren", "Cor", "Dal", "El",   "Fen", "Gar", "Hal", "Is", "Jor", "Kel", "Lor",
    "Mar", "Nor",  "Or",  "Per", "Quin", "Ros", "Syl", "Tor", "Ul", "Vel", "Wen", "Yor",
};
const char* const kNameEnds[] = {"an",  "ric", "wyn", "is", "a",  "dor",
                                 "eth", "ia",  "mir", "as", "on", "elle"};
const char* const kTitles[] = {
    " the Brave",    " of Westmarch",       " the Unyielding", " Ironhand",
    " the Wanderer", " of the Silver Vale", " Stormcaller",    " the Quiet",
};
const char* const kPetNames[] = {"a cat", "a dog", "a wolf", "a horse", "a llama", "a pack horse"};
const char* const kNpcNames[] = {
    "#NAMES_HUMANMALE", "#NAMES_HUMANFEMALE", "a guard",   "a shopkeeper", "a healer",
    "an orc",           "a skeleton",         "a mongbat",
};
const char* const kItemNames[] = {
    "a magic longsword", "a bag of reagents", "Gilded chest of Lord Aldric",
    "a runebook",        "a fine pickaxe",    "an old map",
    "a bottle of wine",  "a blessed deed",
};
const char* const kColors[] = {"83ea", "083ea", "0455", "455", "0",
                               "0",    "0",     "0481", "3e8", "0835"};
const char* const kCharFlags[] = {"0800", "08", "48", "0", "0200", "04"};
const char* const kAttrs[] = {"010", "020", "0", "01", "090", "0400"};
const char* const kSkills[] = {
    "ALCHEMY",       "ANATOMY",         "ANIMALLORE",    "ITEMID",      "ARMSLORE",
    "PARRYING",      "BEGGING",         "BLACKSMITHING", "BOWCRAFT",    "PEACEMAKING",
    "CAMPING",       "CARPENTRY",       "CARTOGRAPHY",   "COOKING",     "DETECTINGHIDDEN",
    "ENTICEMENT",    "EVALUATINGINTEL", "HEALING",       "FISHING",     "FORENSICS",
    "HERDING",       "HIDING",          "PROVOCATION",   "INSCRIPTION", "LOCKPICKING",
    "MAGERY",        "MAGICRESISTANCE", "TACTICS",       "SNOOPING",    "MUSICIANSHIP",
    "POISONING",     "ARCHERY",         "SPIRITSPEAK",   "STEALING",    "TAILORING",
    "TAMING",        "TASTEID",         "TINKERING",     "TRACKING",    "VETERINARY",
    "SWORDSMANSHIP", "MACEFIGHTING",    "FENCING",       "WRESTLING",   "LUMBERJACKING",
    "MINING",        "MEDITATION",      "STEALTH",       "REMOVETRAP",
};
const char* const kStats[] = {"OSTR", "ODEX", "OINT",  "HITS", "STAM",
                              "MANA", "FOOD", "KARMA", "FAME"};
const char* const kScripts[] = {"d_guild_menu", "f_onserver", "s_townstones", "e_player_login"};

}  // namespace

// ---- the bytes

SaveText::SaveText(std::FILE* file) : file_(file), buffer_(kChunk + 2 * kHeadroom) {
  end_ = buffer_.data();
}

void SaveText::Finish() {
  Write(buffer_.data(), static_cast<std::size_t>(end_ - buffer_.data()));
  end_ = buffer_.data();
}

void SaveText::Text(std::string_view text) {
  std::memcpy(end_, text.data(), text.size());
  end_ += text.size();
}

void SaveText::Decimal(std::int64_t value) {
  if (value < 0) {
    Char('-');
    value = -value;
  }
  char digits[24];
  int n = 0;
  auto rest = static_cast<std::uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  while (n > 0) *end_++ = digits[--n];
}

void SaveText::Hex(std::uint32_t value, int width) {
  static const char kDigits[] = "0123456789abcdef";
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[value & 15];
    value >>= 4;
  } while (value != 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) *end_++ = digits[--n];
}

void SaveText::Write(const char* data, std::size_t size) {
  // Counted even after a failure, so that the world still reaches its size
  // and the generator ends (and says the write failed) instead of building
  // on for ever.
  written_ += size;
  if (size == 0 || failed_) return;
  if (std::fwrite(data, 1, size, file_) != size) failed_ = true;
}

void SaveText::FlushChunks() {
  const std::size_t used = static_cast<std::size_t>(end_ - buffer_.data());
  const std::size_t whole = used - used % kChunk;
  Write(buffer_.data(), whole);
  std::memmove(buffer_.data(), buffer_.data() + whole, used - whole);
  end_ = buffer_.data() + (used - whole);
}

// ---- the sections

void SaveWriter::WriteHeader() {
  text_.Reserve();
  text_.Line("// ORV world save");
  text_.Line("// written by ORV 0.55i -- do not edit while the server runs");
  text_.Line("TITLE=ORV 0.55i");
  text_.Line("VERSION=0.55i");
  text_.Line("SAVECOUNT=1234");
  text_.Line("TIME=5221344");
  text_.Line("  PREVBUILD=5521");
  text_.Line("// sections follow");
  text_.EndLine();
}

void SaveWriter::WriteUnit(const Unit& unit) {
  for (int index : unit.file_order) {
    text_.Reserve();
    const Node& node = unit.nodes[static_cast<std::size_t>(index)];
    if (node.is_char) {
      WriteChar(node);
    } else if (dense_) {
      WriteLeanItem(node, unit);
    } else {
      WriteItem(node, unit);
    }
  }
}

void SaveWriter::WriteOtherSection() {
  text_.Reserve();
  if (random_.Chance(5000)) {
    text_.Text("[WORLDSCRIPT ");
    text_.Text(random_.Pick(kScripts));
    text_.Char(']');
    text_.EndLine();
    text_.Line("SERIAL=01");
    text_.Line("MORE1=0");
    KeyValue("TIMER", random_.Range(0, 5000));
  } else {
    text_.Line("[GMPAGE 1]");
    text_.Text("ACCOUNT=");
    text_.Text(random_.Pick(kNameParts));
    text_.Decimal(random_.Range(1, 99999));
    text_.EndLine();
    text_.Line("REASON=stuck in a wall near the bank");
    text_.Line("TIME=5221200");
    Position();
  }
  text_.EndLine();
}

void SaveWriter::WriteEnd() {
  text_.Reserve();
  text_.Line("[EOF]");
  text_.Finish();
}

void SaveWriter::WriteChar(const Node& node) {
  const CharKind& body = *node.char_kind;
  const bool player = node.role == CharRole::kPlayer;
  Head("[WORLDCHAR", body.id, body.bare);

  // The stat lines, then the skills: a lean world's players have few
  // skills, its NPCs none and only some stats.
  std::uint32_t stats = 0;
  if (dense_) {
    stats = player ? random_.Range(9, 16) : random_.Range(3, 9);
  } else {
    stats = player ? random_.Range(16, 30) : random_.Range(10, 18);
  }
  // The account line is anywhere in a player's body, not always first.
  const std::uint32_t account_at = player ? random_.Range(0, stats + 4) : ~0u;
  std::uint32_t at = 0;
  const auto account = [&] {
    if (at++ != account_at) return;
    text_.Text("ACCOUNT=");
    text_.Text(random_.Pick(kNameParts));
    text_.Decimal(random_.Range(1, 99999));
    text_.EndLine();
  };

  account();
  Indent();
  text_.Text("SERIAL=");
  CharSerial(node.serial);
  text_.EndLine();
  account();
  // Most characters have a name; an unnamed pet shrinks as NAMELESS.
  if (player || !random_.Chance(node.role == CharRole::kPet ? 1500 : 300)) {
    text_.Text("NAME=");
    if (player) {
      Name(true);
    } else if (node.role == CharRole::kPet) {
      text_.Text(random_.Pick(kPetNames));
    } else if (random_.Chance(5000)) {
      Name(false);
    } else {
      text_.Text(random_.Pick(kNpcNames));
    }
    text_.EndLine();
  }
  account();
  text_.Text("OBODY=");
  text_.Text(body.id);
  text_.EndLine();
  text_.Text("COLOR=");
  text_.Text(random_.Pick(kColors));
  text_.EndLine();
  account();
  // A few players have no position line, a few characters have two.
  if (!(player && random_.Chance(100))) Position();
  if (random_.Chance(50)) Position();
  text_.Text("FLAGS=");
  text_.Text(random_.Pick(kCharFlags));
  text_.EndLine();
  Comment();
  account();
  KeyValue("DIR", random_.Below(8));
  KeyValue("STR", random_.Range(10, 100));
  KeyValue("DEX", random_.Range(10, 100));
  KeyValue("INT", random_.Range(10, 100));
  for (std::uint32_t i = 0; i < stats; ++i) {
    account();
    if (i < 9) {
      Indent();
      KeyValue(kStats[i], static_cast<std::int64_t>(random_.Range(0, 10000)) - (i >= 7 ? 5000 : 0));
    } else {
      text_.Text("SKILL_");
      text_.Text(random_.Pick(kSkills));
      text_.Char('=');
      text_.Decimal(random_.Range(0, 1000));
      text_.EndLine();
    }
  }
  if (player) {
    const std::uint32_t x = random_.Range(1000, 4000);
    const std::uint32_t y = random_.Range(100, 3000);
    Point("HOME", x, y, 0);
  } else {
    KeyValue("NPC", random_.Range(1, 12));
    if (body.human) text_.Line("SPEECH=spk_human_prime");
    if (node.role == CharRole::kPet) KeyValue("ACTION", 20);
  }
  if (player) {
    while (at <= account_at) account();
  }
  text_.EndLine();  // ORV leaves a blank line after each section
}

void SaveWriter::BeginItem(const Node& node, const Unit& unit) {
  const ItemKind& kind = *node.kind;
  Head("[WORLDITEM", kind.id, kind.bare);
  Indent();
  text_.Text("SERIAL=");
  ItemSerial(node.serial);
  text_.EndLine();
  Link(node);
  // In a lean world half the held items have no place of their own in
  // their container.
  Place(node, unit, !dense_ || node.parent < 0 || random_.Chance(5000));
  Comment();
}

void SaveWriter::WriteItem(const Node& node, const Unit& unit) {
  const ItemKind& kind = *node.kind;
  BeginItem(node, unit);
  switch (kind.role) {
    case ItemRole::kStack:
      KeyValue("AMOUNT", random_.Chance(3000) ? random_.Range(1, 60000) : random_.Range(1, 50));
      break;
    case ItemRole::kCloth:
      KeyValue("LAYER", kind.layer);
      HitPoints();
      break;
    case ItemRole::kBox:
      text_.Line("TYPE=1");
      if (random_.Chance(1000)) KeyValue("MORE1", random_.Range(1, 100000));
      break;
    case ItemRole::kMemory:
      HexKeyValue("MORE1", random_.Range(1, 0xffff));
      KeyValue("MORE2", random_.Range(0, 2000000));
      break;
    case ItemRole::kRespawn:
      text_.Line("TYPE=69");
      HexKeyValue("MORE1", random_.Range(0x1000, 0x4000));
      KeyValue("MORE2", random_.Range(1, 30));
      break;
    case ItemRole::kSpawn:
      text_.Line("TYPE=34");
      HexKeyValue("MORE1", random_.Range(0x01, 0x3ff));
      KeyValue("MORE2", random_.Range(1, 8));
      KeyValue("AMOUNT", random_.Range(1, 5));
      break;
    case ItemRole::kLeaf:
      if (random_.Chance(2000)) KeyValue("TYPE", PlainType());
      if (random_.Chance(5000)) HitPoints();
      KeyValue("MORE1", random_.Range(0, 5000));
      if (random_.Chance(5000)) KeyValue("MORE2", random_.Range(0, 5000));
      break;
    case ItemRole::kDecor:
      if (random_.Chance(3000)) KeyValue("TYPE", PlainType());
      break;
  }
  if (random_.Chance(2500)) {
    text_.Text("NAME=");
    text_.Text(random_.Pick(kItemNames));
    text_.EndLine();
  }
  text_.Text("COLOR=");
  text_.Text(random_.Pick(kColors));
  text_.EndLine();
  text_.Text("ATTR=");
  text_.Text(random_.Pick(kAttrs));
  text_.EndLine();
  if (random_.Chance(1500)) KeyValue("TIMER", random_.Range(0, 90000));
  text_.EndLine();
}

void SaveWriter::WriteLeanItem(const Node& node, const Unit& unit) {
  const ItemKind& kind = *node.kind;
  BeginItem(node, unit);
  switch (kind.role) {
    case ItemRole::kStack:
      if (random_.Chance(3000)) KeyValue("AMOUNT", random_.Range(2, 50));
      break;
    case ItemRole::kCloth: KeyValue("LAYER", kind.layer); break;
    case ItemRole::kBox: text_.Line("TYPE=1"); break;
    case ItemRole::kRespawn:
      text_.Line("TYPE=69");
      HexKeyValue("MORE1", random_.Range(0x1000, 0x4000));
      break;
    case ItemRole::kSpawn:
      text_.Line("TYPE=34");
      HexKeyValue("MORE1", random_.Range(0x01, 0x3ff));
      break;
    case ItemRole::kMemory:
    case ItemRole::kLeaf:
    case ItemRole::kDecor: break;
  }
  if (random_.Chance(2500)) {
    text_.Text("COLOR=");
    text_.Text(random_.Pick(kColors));
    text_.EndLine();
  }
  text_.EndLine();
}

// ---- the pieces of a section

void SaveWriter::Link(const Node& node) {
  if (node.kind->role != ItemRole::kMemory) return;
  text_.Text("LINK=");
  if (node.link != 0) {
    if (node.link_char) {
      CharSerial(node.link);
    } else {
      ItemSerial(node.link);
    }
  }
  text_.EndLine();
}

void SaveWriter::Place(const Node& node, const Unit& unit, bool with_point) {
  if (node.parent < 0) {
    Position();
    return;
  }
  if (with_point) {
    // Where it lies inside its container.
    const std::uint32_t x = random_.Range(20, 150);
    const std::uint32_t y = random_.Range(20, 150);
    Point("P", x, y, 0);
  }
  text_.Text("CONT=");
  const Node& holder = unit.nodes[static_cast<std::size_t>(node.parent)];
  if (holder.is_char) {
    CharSerial(holder.serial);
  } else {
    ItemSerial(holder.serial);
  }
  text_.EndLine();
}

void SaveWriter::Head(const char* section, const char* id, bool bare) {
  Indent();
  text_.Text(section);
  text_.Char(' ');
  // ORV drops the leading 0 of some ids; the reader puts it back.
  if (bare && id[0] == '0' && id[1] != 0 && random_.Chance(1500)) ++id;
  text_.Text(id);
  text_.Char(']');
  text_.EndLine();
}

void SaveWriter::Indent() {
  // Hand-edited saves carry stray indentation.
  if (random_.Chance(60)) text_.Text(random_.Chance(5000) ? "\t" : "  ");
}

void SaveWriter::Comment() {
  if (!random_.Chance(40)) return;
  text_.Text(random_.Chance(5000) ? "// moved by GM" : "//    checked ");
  text_.Decimal(random_.Range(1, 9999));
  text_.EndLine();
}

void SaveWriter::Position() {
  const std::uint32_t x = random_.Range(0, 6143);
  const std::uint32_t y = random_.Range(0, 4095);
  const std::int64_t z = static_cast<std::int64_t>(random_.Range(0, 70)) - 5;
  Point("P", x, y, z);
}

void SaveWriter::Point(const char* key, std::uint32_t x, std::uint32_t y, std::int64_t z) {
  text_.Text(key);
  text_.Char('=');
  text_.Decimal(x);
  text_.Char(',');
  text_.Decimal(y);
  text_.Char(',');
  text_.Decimal(z);
  text_.EndLine();
}

void SaveWriter::Name(bool long_ok) {
  text_.Text(random_.Pick(kNameParts));
  text_.Text(random_.Pick(kNameEnds));
  if (random_.Chance(3000)) {
    text_.Char(' ');
    text_.Text(random_.Pick(kNameParts));
    text_.Text(random_.Pick(kNameEnds));
  }
  if (long_ok && random_.Chance(600)) {
    // Up to 40 characters: longer than the 30 the converter keeps.
    text_.Text(random_.Pick(kTitles));
    text_.Text(random_.Pick(kTitles));
  }
}

void SaveWriter::HitPoints() {
  const std::uint32_t most = random_.Range(10, 60);
  text_.Text("HITPOINTS=");
  text_.Decimal(random_.Range(1, most));
  text_.Char(',');
  text_.Decimal(most);
  text_.EndLine();
}

void SaveWriter::KeyValue(const char* key, std::int64_t value) {
  text_.Text(key);
  text_.Char('=');
  text_.Decimal(value);
  text_.EndLine();
}

void SaveWriter::HexKeyValue(const char* key, std::uint32_t value) {
  text_.Text(key);
  text_.Text("=0");
  text_.Hex(value, 1);
  text_.EndLine();
}

void SaveWriter::CharSerial(std::uint32_t serial) {
  text_.Text("0x");
  text_.Hex(serial, 8);
}

void SaveWriter::ItemSerial(std::uint32_t serial) {
  text_.Text("04");
  text_.Hex(serial, 7);
}

std::uint32_t SaveWriter::PlainType() {
  // Neither a respawn point (69) nor a spawn (34).
  const std::uint32_t type = random_.Range(2, 120);
  return type == 34 || type == 69 ? type + 1 : type;
}

}  // namespace gen_world
