// The Windows side of source_fault.h. A file that is mapped cannot be cut
// short on a local disk (the system refuses), but a read of a page that
// cannot be brought in (a network share that went away, a disk that fails)
// raises EXCEPTION_IN_PAGE_ERROR at the reading instruction. A vectored
// handler sees it first, on the faulting thread.

#include <windows.h>

#include "platform/source_fault.h"

namespace orv::platform {
namespace {

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  // The second parameter is the address that could not be read.
  if (record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR && record.NumberParameters >= 2)
    EndIfSourceFault(reinterpret_cast<const void*>(record.ExceptionInformation[1]),
                     "could no longer be read while it was being read (was its drive or network "
                     "share lost?)");
  return EXCEPTION_CONTINUE_SEARCH;  // not the source: whoever handled it before us does
}

}  // namespace

void InstallSourceFaultHandler() { ::AddVectoredExceptionHandler(1, OnException); }

}  // namespace orv::platform
