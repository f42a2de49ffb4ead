// The reader maker's entry point and the pipe protocol of the 32-bit helper that hosts a 32-bit
// driver for the 64-bit terminal. Plain C++: the helper has no Qt.
#pragma once

#include <cstdint>

// The maker's 32-bit driver uses __stdcall; 64-bit Windows and Linux have one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define QUORVALIS_SCARD_CALL __stdcall
#else
#define QUORVALIS_SCARD_CALL
#endif

namespace quorvalis::scard {

using ComandFn = int32_t(QUORVALIS_SCARD_CALL*)(int32_t* handle, const char* command,
                                                int32_t* commandLength, const char* dataIn,
                                                int32_t* dataInLength, char* dataOut,
                                                int32_t* dataOutLength);

inline constexpr char kEntryPoint[] = "SCardComand";

// Helper protocol, little-endian 32-bit integers. The helper is started with the library's path
// and answers one byte: kReady when the library and its entry point loaded, else kMissing and
// it ends. Then, one call at a time:
//   request:  commandLength, command bytes, dataInLength, dataIn bytes, dataOutLength
//   answer:   result, dataOutLength, then the whole data-out buffer (prefilled with blanks)
inline constexpr char kReady = 'R';
inline constexpr char kMissing = 'N';
inline constexpr uint32_t kMaxField = 65536;  // a longer field ends the helper

}  // namespace quorvalis::scard
