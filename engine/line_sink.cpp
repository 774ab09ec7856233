#include "engine/line_sink.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

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

// The background writer: blocks wait in a short queue, so at most a few
// MiB are in flight.
struct FileLineSink::Writer {
  explicit Writer(platform::AtomicFileWriter& file) : file(file), thread([this] { Loop(); }) {}

  ~Writer() { Stop(); }

  void Push(const char* data, std::size_t size) {
    std::string block(data, size);
    std::unique_lock<std::mutex> lock(mutex);
    room.wait(lock, [this] { return queue.size() < kMaxQueued || failed; });
    RethrowLocked();
    queue.push_back(std::move(block));
    ready.notify_one();
  }

  // Waits until every block is written; rethrows a write error.
  void Drain() {
    std::unique_lock<std::mutex> lock(mutex);
    room.wait(lock, [this] { return (queue.empty() && !busy) || failed; });
    RethrowLocked();
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
      queue.clear();  // a sink given up on: its temporary file goes anyway
      ready.notify_one();
    }
    if (thread.joinable()) thread.join();
  }

 private:
  static constexpr std::size_t kMaxQueued = 4;

  void Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      ready.wait(lock, [this] { return !queue.empty() || stopping; });
      if (queue.empty()) return;  // stopping with nothing left
      std::string block = std::move(queue.front());
      queue.pop_front();
      busy = true;
      lock.unlock();
      std::exception_ptr error;
      if (!failed) {
        try {
          file.Write(block.data(), block.size());
        } catch (...) {
          error = std::current_exception();
        }
      }
      lock.lock();
      busy = false;
      if (error) {
        failed = true;
        this->error = error;
        queue.clear();
      }
      room.notify_all();
    }
  }

  void RethrowLocked() {
    if (failed && error) std::rethrow_exception(error);
  }

  platform::AtomicFileWriter& file;
  std::mutex mutex;
  std::condition_variable ready, room;
  std::deque<std::string> queue;
  bool busy = false;
  bool stopping = false;
  bool failed = false;
  std::exception_ptr error;
  std::thread thread;  // last: starts once the rest is set up
};

FileLineSink::FileLineSink(const std::string& target)
    : file_(std::make_unique<platform::AtomicFileWriter>(target)),
      writer_(std::make_unique<Writer>(*file_)) {}

FileLineSink::~FileLineSink() {
  // Stop the writer before the file it writes to goes away.
  writer_.reset();
}

void FileLineSink::Drain(const char* data, std::size_t size) { writer_->Push(data, size); }

void FileLineSink::Finish() {
  Flush();
  writer_->Drain();
  file_->Finish();
}

void FileLineSink::Commit() { file_->Commit(); }

}  // namespace orv
