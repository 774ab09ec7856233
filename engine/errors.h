#ifndef ORVANTOR_ENGINE_ERRORS_H_
#define ORVANTOR_ENGINE_ERRORS_H_

#include <stdexcept>
#include <string>

namespace orv {

// A file could not be read or written. The message names the file and says
// what went wrong, ready to be shown to the user.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The host asked the running conversion to stop (the window is closing).
class RunCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "conversion cancelled"; }
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_ERRORS_H_
