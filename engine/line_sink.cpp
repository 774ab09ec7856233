#include "engine/line_sink.h"

#include <cstring>

#include "platform/file_system.h"

namespace orv {

LineSink::LineSink(std::size_t buffer_size)
    : capacity_(buffer_size < 64 ? 64 : buffer_size),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity_)) {}
LineSink::~LineSink() = default;

void LineSink::Flush() {
  if (used_ == 0) return;
  Drain(buffer_.get(), used_);
  bytes_ += used_;
  used_ = 0;
}

void LineSink::PutSlow(const char* data, std::size_t size) {
  Flush();
  if (size >= capacity_) {
    // A giant line goes straight through.
    Drain(data, size);
    bytes_ += size;
    return;
  }
  std::memcpy(buffer_.get(), data, size);
  used_ = size;
}

MemoryLineSink::~MemoryLineSink() = default;

const std::string& MemoryLineSink::Bytes() {
  Flush();
  return bytes_;
}

FileLineSink::FileLineSink(const std::string& target)
    : file_(std::make_unique<platform::AtomicFileWriter>(target)) {}

FileLineSink::~FileLineSink() = default;

void FileLineSink::Drain(const char* data, std::size_t size) { file_->Write(data, size); }

void FileLineSink::Finish() {
  Flush();
  file_->Finish();
}

void FileLineSink::Commit() { file_->Commit(); }

}  // namespace orv
