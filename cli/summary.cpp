#include "cli/summary.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "engine/analyse.h"
#include "platform/quoted.h"

namespace orv::cli {

namespace {

std::string N(long long v) { return std::to_string(v); }
std::string U(unsigned long long v) { return std::to_string(v); }

std::string Action(const TargetFacts& t, const SummaryFacts& f) {
  if (f.dry_run) return t.existed ? "would be replaced" : "would be created";
  if (!t.existed) return "created";
  if (!f.backup_suffix.empty())
    return "replaced; the old one kept as " + platform::Quoted(t.path + f.backup_suffix);
  return "replaced";
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

}  // namespace

void NoteLooseCounts(World& w, SummaryFacts& facts) {
  ExplainLooseItems(w);
  facts.loose_later_in_file = w.Notes.LooseCount(LooseReason::kLaterInFile);
  facts.loose_not_found = w.Notes.LooseCount(LooseReason::kNotFound);
  facts.loose_self_container = w.Notes.LooseCount(LooseReason::kSelfContainer);
}

std::string AbsolutePath(const std::string& path) {
  if (path == "-") return path;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string SummaryText(const RunSummary& s, const SummaryFacts& f) {
  const PassStats& p = s.passes;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", s.seconds);
  std::string out;
  if (f.dry_run) out += "dry run: nothing was written\n";
  out += "source: " + platform::Quoted(f.source) + "\n";
  out += "passes: move chars " + OnOff(f.move_chars) + ", shrink pets " + OnOff(f.shrink_pets) +
         ", delete NPCs " + OnOff(f.delete_npcs) + ", delete respawn points " +
         OnOff(f.delete_respawn_points) + ", illegal items " + OnOff(f.illegal_items) + "\n";
  out += "in the source:\n";
  out +=
      "  characters: " + N(s.chars) + " (players " + N(s.players) + ", NPCs " + N(s.npcs) + ")\n";
  out += "  items: " + N(s.items) + " (held by a character or an item " + N(s.contained) +
         ", loose in the world " + N(s.unowned) + ")\n";
  out += "  items left loose because their container comes later in the file: " +
         U(f.loose_later_in_file) + "\n";
  out += "  items left loose because no section has their container's serial: " +
         U(f.loose_not_found) + "\n";
  if (f.loose_self_container != 0) {
    out += "  items left loose because their container is their own serial: " +
           U(f.loose_self_container) + "\n";
  }
  out += f.dry_run ? "changes the run would make:\n" : "changes made:\n";
  out += "  characters moved: " + U(p.chars_moved) + "\n";
  out += "  pets shrunk: " + U(p.pets_shrunk) + "\n";
  out += "  NPCs deleted: " + U(p.npcs_deleted) + " (items destroyed with them " +
         U(p.npc_items_destroyed) + ")\n";
  out += "  respawn points removed: " + U(p.respawn_points_removed) + " (memory objects removed " +
         U(p.memory_objects_removed) + ")\n";
  out += "  illegal items removed: " + U(p.illegal_items_removed) + " (items destroyed inside " +
         U(p.illegal_contents_destroyed) + ")\n";
  out += "character file: " + platform::Quoted(f.char_file.path) + " (" + Action(f.char_file, f) +
         "): " + U(s.char_file_lines) + " lines, " + U(s.char_file_bytes) + " bytes\n";
  out += "world file: " + platform::Quoted(f.world_file.path) + " (" + Action(f.world_file, f) +
         "): " + U(s.world_file_lines) + " lines, " + U(s.world_file_bytes) + " bytes\n";
  if (f.report) {
    out +=
        "report: " +
        (f.report_file.path == "-" ? std::string("standard output")
                                   : platform::Quoted(f.report_file.path) + " (" +
                                         (f.report_file.existed ? "replaced" : "created") + ")") +
        ": " + U(f.report_changes) + " changes\n";
  }
  out += "finished: " + f.finished + " (" + seconds + " s)\n";
  return out;
}

std::string SummaryJson(const RunSummary& s, const SummaryFacts& f) {
  const PassStats& p = s.passes;
  std::string characters, items, source, switches, changes, char_file, world_file, report;
  JsonObject(characters)
      .Signed("total", s.chars)
      .Signed("players", s.players)
      .Signed("npcs", s.npcs)
      .Close();
  JsonObject(items)
      .Signed("total", s.items)
      .Signed("contained", s.contained)
      .Signed("unowned", s.unowned)
      .Number("loose_later_in_file", f.loose_later_in_file)
      .Number("loose_not_found", f.loose_not_found)
      .Number("loose_self_container", f.loose_self_container)
      .Close();
  JsonObject(source)
      .Text("path", f.source)
      .Raw("characters", characters)
      .Raw("items", items)
      .Close();
  JsonObject(switches)
      .Bool("move_chars", f.move_chars)
      .Bool("shrink_pets", f.shrink_pets)
      .Bool("delete_npcs", f.delete_npcs)
      .Bool("delete_respawn_points", f.delete_respawn_points)
      .Bool("illegal_items", f.illegal_items)
      .Close();
  JsonObject(changes)
      .Number("chars_moved", p.chars_moved)
      .Number("pets_shrunk", p.pets_shrunk)
      .Number("npcs_deleted", p.npcs_deleted)
      .Number("npc_items_destroyed", p.npc_items_destroyed)
      .Number("respawn_points_removed", p.respawn_points_removed)
      .Number("memory_objects_removed", p.memory_objects_removed)
      .Number("illegal_items_removed", p.illegal_items_removed)
      .Number("illegal_contents_destroyed", p.illegal_contents_destroyed)
      .Close();
  const auto target = [&](std::string& out, const TargetFacts& t, std::uint64_t lines,
                          std::uint64_t bytes) {
    JsonObject(out)
        .Text("path", t.path)
        .Text("action", f.dry_run ? "none" : (t.existed ? "replaced" : "created"))
        .Bool("existed", t.existed)
        .Text("backup",
              !f.dry_run && t.existed && !f.backup_suffix.empty() ? t.path + f.backup_suffix : "")
        .Number("lines", lines)
        .Number("bytes", bytes)
        .Close();
  };
  target(char_file, f.char_file, s.char_file_lines, s.char_file_bytes);
  target(world_file, f.world_file, s.world_file_lines, s.world_file_bytes);
  std::string out;
  JsonObject o(out);
  o.Bool("ok", true).Bool("dry_run", f.dry_run).Raw("source", source).Raw("passes", switches);
  o.Raw("changes", changes).Raw("char_file", char_file).Raw("world_file", world_file);
  if (f.report) {
    JsonObject(report)
        .Text("path", f.report_file.path)
        .Text("action", f.report_file.path == "-"
                            ? "written"
                            : (f.report_file.existed ? "replaced" : "created"))
        .Number("changes", f.report_changes)
        .Close();
    o.Raw("report", report);
  }
  o.Text("finished", f.finished).Seconds("seconds", s.seconds);
  o.Close();
  out += '\n';
  return out;
}

std::string FailureJson(std::string_view error, int exit_status) {
  std::string out;
  JsonObject(out).Bool("ok", false).Text("error", error).Signed("exit_status", exit_status).Close();
  out += '\n';
  return out;
}

}  // namespace orv::cli
