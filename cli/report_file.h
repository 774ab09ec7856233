#ifndef ORVANTOR_CLI_REPORT_FILE_H_
#define ORVANTOR_CLI_REPORT_FILE_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/background_thread.h"
#include "engine/change_report.h"
#include "engine/line_sink.h"
#include "engine/world.h"

namespace orv::cli {

// Hands every byte on to a stream (stdout for `--report -`). Throws IoError
// when the stream will not take them.
class StreamLineSink final : public LineSink {
 public:
  explicit StreamLineSink(std::FILE* stream) : stream_(stream) {}
  ~StreamLineSink() override;
  // Flushes the sink and the stream.
  void Finish();

 protected:
  void Drain(const char* data, std::size_t size) override;

 private:
  std::FILE* stream_;
};

// The change report of a convert, written where `--report` says: "-" for
// stdout, else a file that is replaced only when complete, like the targets.
class ReportFile {
 public:
  // `sync`: flush a report file to the disk before it is put in place.
  ReportFile(std::string path, bool sync) : path_(std::move(path)), sync_(sync) {}
  // Waits for a write still under way; the temporary file goes unless
  // committed.
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  bool ToStdout() const { return path_ == "-"; }
  const std::string& Path() const { return path_; }

  // Starts writing a file's report on a thread of its own, once every
  // change is noted, while the run makes the targets; `w` and `report`
  // must not change until Finish. Does nothing for stdout, which gets
  // the report only when the run succeeded.
  void Start(const World& w, const ChangeReport& report);
  // Writes the report (or waits for the write Start began): to stdout, or
  // into a temporary file beside the target, complete but not yet in its
  // place. Throws IoError.
  void Finish(const World& w, const ChangeReport& report);
  // Puts a written file in its place (nothing for stdout). Throws IoError.
  void Commit();

  std::uint64_t Changes() const { return changes_; }
  std::uint64_t Bytes() const { return bytes_; }

 private:
  std::string path_;
  bool sync_;
  void WriteFile(const World& w, const ChangeReport& report);

  std::unique_ptr<FileLineSink> file_;
  std::uint64_t changes_ = 0;
  std::uint64_t bytes_ = 0;
  BackgroundThread writing_;  // last: joined before what it writes with goes
};

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_REPORT_FILE_H_
