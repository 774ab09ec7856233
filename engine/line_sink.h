#ifndef ORVANTOR_ENGINE_LINE_SINK_H_
#define ORVANTOR_ENGINE_LINE_SINK_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/line_rules.h"

namespace orv {
namespace platform {
class AtomicFileWriter;
}

// An output file being built, line by line. Every line is followed by CR LF,
// the last one included. Lines are gathered in a large buffer and handed on
// in big blocks, so that a conversion never holds a whole output in memory.
class LineSink {
 public:
  // `buffer_size` bytes are gathered before each hand-over.
  explicit LineSink(std::size_t buffer_size = std::size_t{1} << 20);
  virtual ~LineSink();
  LineSink(const LineSink&) = delete;
  LineSink& operator=(const LineSink&) = delete;

  void Append(std::string_view line) {
    Put(line.data(), line.size());
    Put("\r\n", 2);
    ++lines_;
  }
  void Append(const KeptLine& line) {
    Put(line.head.data(), line.head.size());
    if (line.zero) Put("0", 1);
    Put(line.tail.data(), line.tail.size());
    Put("\r\n", 2);
    ++lines_;
  }

  // Appends `count` whole lines at once: `lines` holds them with a CR LF
  // after each.
  void AppendLines(std::string_view lines, std::uint64_t count) {
    Put(lines.data(), lines.size());
    lines_ += count;
  }

  std::uint64_t LineCount() const { return lines_; }
  std::uint64_t ByteCount() const { return bytes_ + used_; }

  // Hands every buffered byte on.
  void Flush();

 protected:
  // Receives a block of finished bytes.
  virtual void Drain(const char* data, std::size_t size) = 0;
  // Receives the full buffer itself (`size` bytes used of `capacity`) and
  // puts the buffer to fill next, of the same capacity, in its place; on an
  // exception `buffer` is left as it was. The default drains the bytes and
  // keeps the buffer; a sink that holds blocks for a while trades buffers
  // instead of copying them.
  virtual void DrainBuffer(std::unique_ptr<char[]>& buffer, std::size_t size, std::size_t capacity);

 private:
  void Put(const char* data, std::size_t size) {
    if (size <= capacity_ - used_) {
      if (size != 0) std::memcpy(buffer_.get() + used_, data, size);
      used_ += size;
    } else {
      PutSlow(data, size);
    }
  }
  void PutSlow(const char* data, std::size_t size);

  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;  // capacity_ bytes, not zeroed
  std::size_t used_ = 0;
  std::uint64_t bytes_ = 0;
  std::uint64_t lines_ = 0;
};

// Keeps the output in memory (tests, fuzzing).
class MemoryLineSink final : public LineSink {
 public:
  MemoryLineSink() : LineSink(std::size_t{16} << 10) {}
  ~MemoryLineSink() override;
  // All bytes appended so far.
  const std::string& Bytes();

 protected:
  void Drain(const char* data, std::size_t size) override { bytes_.append(data, size); }

 private:
  std::string bytes_;
};

// Writes into a temporary file that replaces the target only when the file
// is committed (platform::CommitTogether). Full buffers are written out by a
// thread of the sink's own, so that the copy into the file system overlaps
// with making the next lines; a write error is rethrown in the converting
// thread at the next hand-over or at Finish at the latest.
class FileLineSink final : public LineSink {
 public:
  // Makes the temporary file and starts the writer. A file to be `synced`
  // when finished is handed to the disk as it is written (see
  // AtomicFileWriter::WriteBackAsItGoes). Throws IoError.
  explicit FileLineSink(const std::string& target, bool synced = false);
  ~FileLineSink() override;

  // Writes out the rest and closes the temporary file, flushed to the disk
  // first when `sync`. Throws IoError.
  void Finish(bool sync);
  // The file being written, for the commit.
  platform::AtomicFileWriter& File() { return *file_; }

 protected:
  void Drain(const char* data, std::size_t size) override;
  void DrainBuffer(std::unique_ptr<char[]>& buffer, std::size_t size,
                   std::size_t capacity) override;

 private:
  struct Writer;
  std::unique_ptr<platform::AtomicFileWriter> file_;
  std::unique_ptr<Writer> writer_;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_LINE_SINK_H_
