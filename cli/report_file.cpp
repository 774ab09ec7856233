#include "cli/report_file.h"

#include <cerrno>
#include <cstring>

#include "engine/errors.h"
#include "platform/file_system.h"

namespace orv::cli {

StreamLineSink::~StreamLineSink() = default;

void StreamLineSink::Drain(const char* data, std::size_t size) {
  if (std::fwrite(data, 1, size, stream_) != size) {
    throw IoError(std::string("cannot write the report: ") + std::strerror(errno));
  }
}

void StreamLineSink::Finish() {
  Flush();
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) {
    throw IoError(std::string("cannot write the report: ") + std::strerror(errno));
  }
}

ReportFile::~ReportFile() = default;

void ReportFile::WriteFile(const World& w, const ChangeReport& report) {
  file_ = std::make_unique<FileLineSink>(path_);
  WriteChangeReport(w, report, *file_);
  file_->Finish(sync_);
  changes_ = file_->LineCount();
  bytes_ = file_->ByteCount();
}

void ReportFile::Start(const World& w, const ChangeReport& report) {
  if (ToStdout() || writing_.Started()) return;
  // Without a thread, Finish writes it.
  writing_.Start([this, &w, &report] { WriteFile(w, report); });
}

void ReportFile::Finish(const World& w, const ChangeReport& report) {
  if (writing_.Started()) {
    writing_.Join();
    return;
  }
  if (ToStdout()) {
    StreamLineSink out(stdout);
    WriteChangeReport(w, report, out);
    out.Finish();
    changes_ = out.LineCount();
    bytes_ = out.ByteCount();
    return;
  }
  WriteFile(w, report);
}

void ReportFile::Commit() {
  if (file_) file_->File().Commit(sync_);
}

}  // namespace orv::cli
