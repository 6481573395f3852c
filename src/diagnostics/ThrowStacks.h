#pragma once
// What the __cxa_throw interposer calls; kept free of Qt and of the C++ ABI
// header, so the interposer's own definition of __cxa_throw meets no other
// declaration.

namespace kp {

using TThrowDestructor = void (*)(void *);

// Records the current stack for a thrown object, leaving out `skip` frames
// above the caller (the interposer passes 1: itself). Returns the destructor
// to hand on to the runtime: it forgets the record and then runs `destroy`.
// When no record can be made it returns `destroy` itself.
TThrowDestructor RecordThrowStack(void *object, TThrowDestructor destroy, int skip) noexcept;

// Loads the unwinder library ahead of the first capture.
void PreloadUnwinder() noexcept;

} // namespace kp
