#include "cli/report_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

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

ReportFile::~ReportFile() {
  if (writing_.joinable()) writing_.join();
}

void ReportFile::WriteFile(const World& w, const ChangeReport& report) {
  file_ = std::make_unique<FileLineSink>(path_);
  WriteChangeReport(w, report, *file_);
  file_->Finish(sync_);
  changes_ = file_->LineCount();
  bytes_ = file_->ByteCount();
}

void ReportFile::Start(const World& w, const ChangeReport& report) {
  if (ToStdout() || writing_.joinable()) return;
  try {
    writing_ = std::thread([this, &w, &report] {
      try {
        WriteFile(w, report);
      } catch (...) {
        failure_ = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: Finish writes it.
  }
}

void ReportFile::Finish(const World& w, const ChangeReport& report) {
  if (writing_.joinable()) {
    writing_.join();
    if (failure_) std::rethrow_exception(failure_);
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
