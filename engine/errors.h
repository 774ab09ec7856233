#ifndef ORVANTOR_ENGINE_ERRORS_H_
#define ORVANTOR_ENGINE_ERRORS_H_

#include <exception>

#include "platform/io_error.h"

namespace orv {

// A run fails with the file services' errors as they come (platform/io_error.h).
using platform::HalfSaved;
using platform::IoError;
using platform::NeedsForce;

// The host asked the running conversion to stop (the window is closing).
class RunCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "conversion cancelled"; }
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_ERRORS_H_
