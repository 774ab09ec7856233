#ifndef ORVANTOR_ENGINE_SECTION_READER_H_
#define ORVANTOR_ENGINE_SECTION_READER_H_

// The reading half of the analysis: walks the loaded source turn by turn
// and makes a record of every character and item section. It touches only
// the source, the record arenas and the text pool, never the indexes or the
// lists, so it may run on a thread of its own while the filing (filing.h)
// takes its turns.

#include <exception>
#include <memory>

#include "engine/analyse.h"
#include "engine/turn_ring.h"
#include "engine/world.h"

namespace orv {

// On cache lines of its own: its cursor changes with every line it reads,
// on its own thread, while the filing's state lies close by on another.
class alignas(64) SectionReader {
 public:
  explicit SectionReader(World& w);
  ~SectionReader();
  SectionReader(const SectionReader&) = delete;
  SectionReader& operator=(const SectionReader&) = delete;

  // Reads the next turn into `turn`: a line outside any section, or a whole
  // character or item section, whose record it makes (the section, serial,
  // name or kind, and whether the writers may copy it as it stands). After
  // a turn that ends the analysis there is no next one.
  void Next(Turn& turn) noexcept;

  // Why reading failed; only to be asked once a kFailed turn was seen.
  std::exception_ptr Failure() const { return failure_; }

 private:
  class KindMemo;

  void Read(Turn& turn);
  void ReadCharSection(Turn& turn);
  void ReadItemSection(Turn& turn);

  World& w_;
  SourceCursor cursor_;
  std::unique_ptr<KindMemo> kinds_;
  std::exception_ptr failure_;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SECTION_READER_H_
