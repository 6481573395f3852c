#pragma once
// What the __cxa_throw interposer calls; kept free of Qt and of the C++ ABI
// header, so the interposer's own definition of __cxa_throw meets no other
// declaration.

namespace kp {

// Records the current stack for a thrown object, leaving out `skip` frames
// above the caller (the interposer passes 1: itself).
void RecordThrowStack(const void *object, int skip) noexcept;

// Loads the unwinder library ahead of the first capture.
void PreloadUnwinder() noexcept;

} // namespace kp
