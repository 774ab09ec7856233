#ifndef ORVANTOR_PLATFORM_VECTOR_STATE_H_
#define ORVANTOR_PLATFORM_VECTOR_STATE_H_

namespace orv::platform {

// Marks the upper halves of the processor's vector registers as unused
// (x86's vzeroupper, where the processor and the system have AVX; nothing
// elsewhere). Library code that returns with them in use, as a GUI
// toolkit's drawing and event code may, makes every later SSE instruction
// of the thread wait on them, and threads started meanwhile inherit the
// state: on Intel cores that doubled the cost of copying a save's lines
// into the targets. Cheap enough to call after every call into such code.
void ClearUpperVectorState() noexcept;

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_VECTOR_STATE_H_
