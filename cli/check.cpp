#include "cli/check.h"

#include <cstdio>
#include <new>

#include "cli/cli_host.h"
#include "cli/summary.h"
#include "engine/analyse.h"
#include "engine/errors.h"
#include "engine/json_text.h"
#include "platform/quoted.h"

namespace orv::cli {

namespace {

// What each kind means, for the counts of the text output.
std::string_view Meaning(std::string_view kind) {
  if (kind == "left_loose") return "items written loose although their \"CONT=\" names a holder";
  if (kind == "duplicate_serial")
    return "sections whose serial was already filed: they get no contents";
  if (kind == "self_container") return "items whose \"CONT=\" is their own serial";
  if (kind == "no_end_marker") return "no \"[EOF]\": the last section ends with the file";
  if (kind == "text_after_end") return "text after \"[EOF]\", which is never read";
  if (kind == "short_head") return "section heads too short to carry an id";
  if (kind == "nul_byte") return "lines with NUL bytes";
  return "";
}

}  // namespace

std::string FindingJson(const Finding& f) {
  std::string out;
  JsonObject o(out);
  o.Text("finding", f.kind).Text("serial", f.serial).Number("line", f.line);
  for (const FindingField& field : f.fields) {
    if (field.number) {
      o.Raw(field.key, field.value);
    } else {
      o.Text(field.key, field.value);
    }
  }
  o.Close();
  out += '\n';
  return out;
}

std::string FindingsText(const std::vector<Finding>& findings, const std::string& source, bool all,
                         std::size_t shown) {
  std::string out = platform::Quoted(source) + ": ";
  out += findings.empty() ? std::string("nothing found\n")
                          : std::to_string(findings.size()) +
                                (findings.size() == 1 ? " finding\n" : " findings\n");
  if (findings.empty()) return out;
  for (const std::string_view kind : kFindingKinds) {
    std::size_t n = 0;
    for (const Finding& f : findings) n += f.kind == kind ? 1 : 0;
    char count[64];
    std::snprintf(count, sizeof count, "  %-17.*s %8zu  ", static_cast<int>(kind.size()),
                  kind.data(), n);
    out += count;
    out += Meaning(kind);
    out += '\n';
  }
  for (const std::string_view kind : kFindingKinds) {
    std::size_t n = 0;
    std::size_t listed = 0;
    for (const Finding& f : findings) {
      if (f.kind != kind) continue;
      if (n++ == 0) out += std::string(kind) + ":\n";
      if (!all && listed == shown) continue;
      ++listed;
      out += "  line " + std::to_string(f.line);
      if (!f.serial.empty()) out += ", serial " + JsonString(f.serial);
      for (const FindingField& field : f.fields) {
        out += ", " + std::string(field.key) + " " +
               (field.number ? field.value : JsonString(field.value));
      }
      out += '\n';
    }
    if (listed < n)
      out += "  ... and " + std::to_string(n - listed) + " more (--all lists every one)\n";
  }
  return out;
}

int RunCheck(const CheckOptions& options) {
  ConvertOptions settings;
  settings.source = options.source;
  settings.quiet = options.quiet;
  // The check runs no pass: "delete NPCs" off keeps every line as it is.
  settings.delete_npcs = settings.shrink_pets = settings.delete_respawn_points = false;
  World w;
  // The analysis notes every section's line as it files it: no sweep over
  // the source afterwards.
  w.SectionLines.wanted = true;
  std::vector<Finding> findings;
  {
    CliHost host(settings, stderr);
    host.SetSteps(2);  // loading and the analysis
    try {
      host.SetStatus("loading file into memory (this may take some minutes)");
      w.SourceLines.LoadFromFile(options.source, SourceText::Counting::kLater);
      host.SetStatus("analysing worldfile");
      AnalyseWorld(w, host);
      findings = CheckAnalysedWorld(w);
    } catch (const std::bad_alloc&) {
      host.ReportError("orvantor: not enough memory to check this worldfile");
      return 1;
    } catch (const std::exception& e) {
      host.ReportError(std::string("orvantor: ") + e.what());
      return 1;
    }
  }
  std::string text;
  if (options.json) {
    for (const Finding& f : findings) text += FindingJson(f);
  } else {
    text = FindingsText(findings, AbsolutePath(options.source), options.all);
  }
  std::fputs(text.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "orvantor: the findings could not be written\n");
    return 1;
  }
  return findings.empty() ? 0 : kExitFindings;
}

}  // namespace orv::cli
