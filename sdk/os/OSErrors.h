#pragma once

// Windows error numbers that the OS layer puts into errno. The POSIX build uses
// the same numbers for the same conditions, so callers test one set of values.
namespace pdkos {

constexpr int kErrorInvalidHandle = 6;  // ERROR_INVALID_HANDLE: no object behind the call
constexpr int kErrorSemTimeout = 121;   // ERROR_SEM_TIMEOUT: a wait ran out of time
constexpr int kErrorNotOwner = 288;     // ERROR_NOT_OWNER: released by a thread not owning it

}  // namespace pdkos
