#pragma once
#include <cstdint>

namespace tonvane {

// 32-bit result code: 0 is success. A system error e is reported the way the Windows build
// reported a Win32 error, as an HRESULT: 0x80070000 | (e & 0xFFFF). On Linux e is an errno value.
using ErrorCode = uint32_t;

inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kErrorFacilityWin32 = 0x80070000;
// WSAHOST_NOT_FOUND-style answer for a host name that does not resolve; callers compare with it.
inline constexpr ErrorCode kErrorHostNotFound = 0x80072726;

constexpr ErrorCode errorFromSystem(uint32_t error)
{
    return error == 0 ? kSuccess : (kErrorFacilityWin32 | (error & 0xFFFF));
}

// The calling thread's errno as an error code (0 stays 0).
ErrorCode lastError();

} // namespace tonvane
