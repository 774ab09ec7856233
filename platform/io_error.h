#ifndef ORVANTOR_PLATFORM_IO_ERROR_H_
#define ORVANTOR_PLATFORM_IO_ERROR_H_

#include <stdexcept>

namespace orv::platform {

// A file could not be read or written. The message names the file and says
// what went wrong, ready to be shown to the user.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A refusal that the user may override (the command line's --force): a
// read-only target, a source that is not a world save.
class NeedsForce : public IoError {
 public:
  using IoError::IoError;
};

// A commit failed half way and a target already replaced could not be put
// back: the message says which file is new and where its old content is
// kept. The only failure after which the two targets do not match.
class HalfSaved : public IoError {
 public:
  using IoError::IoError;
};

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_IO_ERROR_H_
