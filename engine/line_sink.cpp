#include "engine/line_sink.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "engine/background_thread.h"
#include "engine/errors.h"
#include "platform/file_system.h"
#include "platform/quoted.h"

namespace orv {

LineSink::LineSink(std::size_t buffer_size)
    : capacity_(buffer_size < 64 ? 64 : buffer_size),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity_)) {}
LineSink::~LineSink() = default;

void LineSink::Flush() {
  if (used_ == 0) return;
  DrainBuffer(buffer_, used_, capacity_);
  bytes_ += used_;
  used_ = 0;
}

void LineSink::DrainBuffer(std::unique_ptr<char[]>& buffer, std::size_t size, std::size_t) {
  Drain(buffer.get(), size);
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
// MiB are in flight. A full buffer is handed over as it is and a written one
// comes back to be filled again: the bytes are copied once, by the kernel.
struct FileLineSink::Writer {
  explicit Writer(platform::AtomicFileWriter& file) : file(file) {
    if (!thread.Start([this] { Loop(); })) {
      throw IoError("cannot start a worker thread to write " + platform::Quoted(file.Target()) +
                    ": " + thread.StartError().message());
    }
  }

  ~Writer() { Stop(); }

  // Queues a copy of `size` bytes (a line too big for any buffer).
  void Push(const char* data, std::size_t size) {
    auto copy = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(copy.get(), data, size);
    // Not a buffer of the sink's capacity: never handed back for refilling.
    std::unique_ptr<char[]> unused;
    Queue(Block{std::move(copy), size, 0}, unused);
  }

  // Queues the full `buffer` and puts a buffer of `capacity` bytes to fill
  // next in its place. On an exception `buffer` is left as it was.
  void Trade(std::unique_ptr<char[]>& buffer, std::size_t size, std::size_t capacity) {
    std::unique_ptr<char[]> next = TakeSpare(capacity);
    // Only while every buffer is in flight: a few exist in all.
    if (!next) next = std::make_unique_for_overwrite<char[]>(capacity);
    Queue(Block{std::move(buffer), size, capacity}, buffer);
    buffer = std::move(next);
  }

  // Waits until every block is written; rethrows a write error.
  void Drain() {
    std::unique_lock<std::mutex> lock(mutex);
    room.wait(lock, [this] { return (queue.empty() && !busy) || failed; });
    RethrowLocked();
  }

  // Ends the thread, dropping what is still queued: a sink given up on,
  // whose temporary file goes anyway.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
      queue.clear();
      ready.notify_one();
    }
    try {
      thread.Join();
    } catch (...) {
      // Only a failure outside the writes, which are reported on their own.
    }
  }

 private:
  static constexpr std::size_t kMaxQueued = 4;

  struct Block {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;  // 0: a one-off copy, freed once written
  };

  // Queues `block`; when a write error is rethrown instead, the block's
  // buffer goes back to `owner`.
  void Queue(Block block, std::unique_ptr<char[]>& owner) {
    std::unique_lock<std::mutex> lock(mutex);
    room.wait(lock, [this] { return queue.size() < kMaxQueued || failed; });
    if (failed && error) {
      owner = std::move(block.data);
      std::rethrow_exception(error);
    }
    queue.push_back(std::move(block));
    ready.notify_one();
  }

  // A written buffer of `capacity` bytes, or null when none is free.
  std::unique_ptr<char[]> TakeSpare(std::size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = spare.begin(); it != spare.end(); ++it) {
      if (it->capacity != capacity) continue;
      std::unique_ptr<char[]> buffer = std::move(it->data);
      spare.erase(it);
      return buffer;
    }
    return nullptr;
  }

  void Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      ready.wait(lock, [this] { return !queue.empty() || stopping; });
      if (queue.empty()) return;  // stopping with nothing left
      Block block = std::move(queue.front());
      queue.pop_front();
      busy = true;
      lock.unlock();
      std::exception_ptr error;
      if (!failed) {
        try {
          file.Write(block.data.get(), block.size);
        } catch (...) {
          error = std::current_exception();
        }
      }
      lock.lock();
      busy = false;
      if (block.capacity != 0) spare.push_back(std::move(block));
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
  std::deque<Block> queue;
  std::vector<Block> spare;  // written buffers, ready to be filled again
  bool busy = false;
  bool stopping = false;
  bool failed = false;
  std::exception_ptr error;
  BackgroundThread thread;  // started once the rest is set up
};

FileLineSink::FileLineSink(const std::string& target, bool synced)
    : file_(std::make_unique<platform::AtomicFileWriter>(target)) {
  if (synced) file_->WriteBackAsItGoes();
  writer_ = std::make_unique<Writer>(*file_);
}

FileLineSink::~FileLineSink() {
  // Stop the writer before the file it writes to goes away.
  writer_.reset();
}

void FileLineSink::Drain(const char* data, std::size_t size) { writer_->Push(data, size); }

void FileLineSink::DrainBuffer(std::unique_ptr<char[]>& buffer, std::size_t size,
                               std::size_t capacity) {
  writer_->Trade(buffer, size, capacity);
}

void FileLineSink::Finish(bool sync) {
  Flush();
  writer_->Drain();
  file_->Finish(sync);
}

}  // namespace orv
