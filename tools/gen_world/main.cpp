// gen_world: writes a synthetic ORV world save (.scp) of about a given size,
// for the benchmarks and the tests. The same arguments always give the same
// bytes, with every compiler and library.
//
// Each character or loose item is built as a small tree (a unit), laid out
// in file order and given serials (world_builder.h), then written
// (save_writer.h). A small share of items is written just before the
// container that holds it: a forward reference the reader cannot resolve.
// With --dense the same world is written with lean item sections (about
// 70 bytes a section on average, against 115): the most sections, records
// and index entries a save of that size brings, for the memory benchmark.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "tools/gen_world/random.h"
#include "tools/gen_world/save_writer.h"
#include "tools/gen_world/world_builder.h"

namespace {

constexpr char kUsage[] =
    "usage: gen_world --size BYTES|256M|1G --seed N --order random|ascending [--dense]\n"
    "                 --out PATH [--stats]\n"
    "\n"
    "Writes a synthetic ORV world save of about BYTES bytes (suffixes K, M, G are\n"
    "powers of 1024). The same arguments always give the same file.\n"
    "  --size    target size (default 16M)\n"
    "  --seed    seed of the random generator (default 1)\n"
    "  --order   random: serials in scrambled order (default);\n"
    "            ascending: serials rise in file order\n"
    "  --dense   lean sections, as in a world of small items: most items carry\n"
    "            only their serial, their place and now and then a colour, and\n"
    "            characters fewer stats; a section in about every 70 bytes\n"
    "            instead of 115, the most records a save of that size brings\n"
    "  --out     file to write ('-' for standard output)\n"
    "  --stats   print what was written to standard error\n";

struct Options {
  std::uint64_t size = 16ull << 20;
  std::uint64_t seed = 1;
  bool ascending = false;
  bool dense = false;
  bool stats = false;
  const char* path = nullptr;
};

// A size in bytes, with an optional K, M or G (powers of 1024), which may be
// followed by "iB" or "B".
bool ParseSize(const char* text, std::uint64_t& size) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || end == text) return false;
  std::uint64_t unit = 1;
  if (*end == 'K' || *end == 'k') {
    unit = 1ull << 10;
    ++end;
  } else if (*end == 'M' || *end == 'm') {
    unit = 1ull << 20;
    ++end;
  } else if (*end == 'G' || *end == 'g') {
    unit = 1ull << 30;
    ++end;
  }
  if (*end == 'i' && end[1] == 'B') {
    end += 2;
  } else if (*end == 'B' && unit > 1) {
    ++end;
  }
  if (*end != '\0') return false;
  size = value * unit;
  return true;
}

int Fail(const char* message, const char* argument = nullptr) {
  std::fprintf(stderr, "gen_world: %s%s%s\n", message, argument ? " " : "",
               argument ? argument : "");
  std::fputs(kUsage, stderr);
  return 2;
}

// Reads the arguments into `options`; returns the exit status when the
// program should end here (help asked for, or a usage error).
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--size") {
      const char* size = value();
      if (size == nullptr || !ParseSize(size, options.size)) return Fail("bad --size", size);
    } else if (arg == "--seed") {
      const char* seed = value();
      if (seed == nullptr) return Fail("missing --seed value");
      char* end = nullptr;
      options.seed = std::strtoull(seed, &end, 0);
      if (*end != '\0') return Fail("bad --seed", seed);
    } else if (arg == "--order") {
      const char* order = value();
      const std::string_view name = order ? order : "";
      if (name == "random") {
        options.ascending = false;
      } else if (name == "ascending") {
        options.ascending = true;
      } else {
        return Fail("bad --order", order);
      }
    } else if (arg == "--out") {
      options.path = value();
      if (options.path == nullptr) return Fail("missing --out value");
    } else if (arg == "--dense") {
      options.dense = true;
    } else if (arg == "--stats") {
      options.stats = true;
    } else {
      return Fail("unknown argument", argv[i]);
    }
  }
  if (options.path == nullptr) return Fail("--out is required");
  return std::nullopt;
}

void PrintStats(const gen_world::SaveText& text, const gen_world::WorldStats& s) {
  const auto n = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
  const std::uint64_t sections = s.chars + s.items + s.other;
  std::fprintf(stderr,
               "bytes %llu  lines %llu  sections %llu (one per %.1f bytes)\n"
               "chars %llu (players %llu, npcs %llu: pets %llu, spawned %llu)\n"
               "items %llu (loose %llu, held %llu, containers %llu, memory objects %llu)\n"
               "respawn TYPE=69 %llu  spawn TYPE=34 %llu  illegal kinds %llu\n"
               "forward references %llu  deepest item %u  other sections %llu\n",
               n(text.Bytes()), n(text.Lines()), n(sections),
               sections ? static_cast<double>(text.Bytes()) / static_cast<double>(sections) : 0.0,
               n(s.chars), n(s.players), n(s.npcs), n(s.pets), n(s.spawned), n(s.items), n(s.loose),
               n(s.contained), n(s.containers), n(s.memory), n(s.respawn69), n(s.spawn34),
               n(s.illegal), n(s.forward), s.max_depth, n(s.other));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::optional<int> status = ParseArguments(argc, argv, options)) return *status;

  const bool to_stdout = std::strcmp(options.path, "-") == 0;
  std::FILE* file = to_stdout ? stdout : std::fopen(options.path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "gen_world: cannot open %s: %s\n", options.path, std::strerror(errno));
    return 1;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);

  gen_world::Random random(options.seed);
  gen_world::SaveText text(file);
  gen_world::SaveWriter save(text, random, options.dense);
  gen_world::WorldBuilder world(random, options.seed, options.ascending);
  save.WriteHeader();
  world.Build(options.size, save);
  save.WriteEnd();

  bool failed = text.Failed();
  failed = (to_stdout ? std::fflush(file) != 0 : std::fclose(file) != 0) || failed;
  if (failed) {
    std::fprintf(stderr, "gen_world: writing %s failed: %s\n", options.path, std::strerror(errno));
    return 1;
  }
  if (options.stats) PrintStats(text, world.Stats());
  return 0;
}
