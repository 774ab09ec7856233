#include "cli/summary.h"

#include <cstdio>
#include <string>

namespace orv::cli {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0.
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto continuation = [&](std::size_t i) { return i < s.size() && (byte(i) & 0xc0) == 0x80; };
  const unsigned char c = byte(0);
  if (c >= 0xc2 && c <= 0xdf) return continuation(1) ? 2 : 0;
  if (c >= 0xe0 && c <= 0xef) {
    if (!continuation(1) || !continuation(2)) return 0;
    if (c == 0xe0 && byte(1) < 0xa0) return 0;  // overlong
    if (c == 0xed && byte(1) >= 0xa0) return 0;  // a surrogate
    return 3;
  }
  if (c >= 0xf0 && c <= 0xf4) {
    if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
    if (c == 0xf0 && byte(1) < 0x90) return 0;  // overlong
    if (c == 0xf4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = Utf8SequenceLength(text.substr(i));
      if (n != 0) {
        out.append(text.substr(i, n));
        i += n - 1;
      } else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

namespace {
std::string N(long long v) { return std::to_string(v); }
std::string U(unsigned long long v) { return std::to_string(v); }
}  // namespace

std::string SummaryText(const RunSummary& s, const std::string& char_file,
                        const std::string& world_file) {
  const PassStats& p = s.passes;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", s.seconds);
  std::string out;
  out += "characters: " + N(s.chars) + " (players " + N(s.players) + ", NPCs " + N(s.npcs) + ")\n";
  out += "items: " + N(s.items) + " (contained " + N(s.contained) + ", unowned " + N(s.unowned) +
         ")\n";
  out += "characters moved: " + U(p.chars_moved) + "\n";
  out += "pets shrunk: " + U(p.pets_shrunk) + "\n";
  out += "NPCs deleted: " + U(p.npcs_deleted) + " (items destroyed with them " +
         U(p.npc_items_destroyed) + ")\n";
  out += "respawn points removed: " + U(p.respawn_points_removed) +
         " (memory objects removed " + U(p.memory_objects_removed) + ")\n";
  out += "illegal items removed: " + U(p.illegal_items_removed) + " (items destroyed inside " +
         U(p.illegal_contents_destroyed) + ")\n";
  out += "character file: " + char_file + ": " + U(s.char_file_lines) + " lines, " +
         U(s.char_file_bytes) + " bytes\n";
  out += "world file: " + world_file + ": " + U(s.world_file_lines) + " lines, " +
         U(s.world_file_bytes) + " bytes\n";
  out += std::string("elapsed: ") + seconds + " s\n";
  return out;
}

std::string SummaryJson(const RunSummary& s, const std::string& char_file,
                        const std::string& world_file) {
  const PassStats& p = s.passes;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", s.seconds);
  std::string out = "{";
  out += "\"characters\":{\"total\":" + N(s.chars) + ",\"players\":" + N(s.players) +
         ",\"npcs\":" + N(s.npcs) + "},";
  out += "\"items\":{\"total\":" + N(s.items) + ",\"contained\":" + N(s.contained) +
         ",\"unowned\":" + N(s.unowned) + "},";
  out += "\"passes\":{\"chars_moved\":" + U(p.chars_moved) + ",\"pets_shrunk\":" +
         U(p.pets_shrunk) + ",\"npcs_deleted\":" + U(p.npcs_deleted) +
         ",\"npc_items_destroyed\":" + U(p.npc_items_destroyed) +
         ",\"respawn_points_removed\":" + U(p.respawn_points_removed) +
         ",\"memory_objects_removed\":" + U(p.memory_objects_removed) +
         ",\"illegal_items_removed\":" + U(p.illegal_items_removed) +
         ",\"illegal_contents_destroyed\":" + U(p.illegal_contents_destroyed) + "},";
  out += "\"char_file\":{\"path\":" + JsonString(char_file) + ",\"lines\":" +
         U(s.char_file_lines) + ",\"bytes\":" + U(s.char_file_bytes) + "},";
  out += "\"world_file\":{\"path\":" + JsonString(world_file) + ",\"lines\":" +
         U(s.world_file_lines) + ",\"bytes\":" + U(s.world_file_bytes) + "},";
  out += std::string("\"seconds\":") + seconds + "}\n";
  return out;
}

}  // namespace orv::cli
