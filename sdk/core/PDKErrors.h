// The SDK's error codes. Every operation returns one of them; the same numbers
// serve as a device's status.
#pragma once

namespace pdk {

enum ErrorCode : int {
  kOk = 0,
  kGeneralError = 1,
  kCantAccessDevice = 2,
  kConnectionFailed = 3,
  kDeviceInternalError = 4,
  kVerificationError = 5,
  kLunSwapError = 6,
  kCantLockDevice = 7,
  kNotConnected = 8,
  kNotAuthenticated = 9,
  kParamsChanged = 10,
  kNotReady = 11,
  kUclVersion = 12,
  kNoSafePartition = 13,
  kFormatFailed = 14,
  kNotSupported = 15,
  kNoNeedToDetach = 16,
  kAlreadyExists = 17,
  kTooSmallToFormat = 18,
  kTooBigToFormat = 19,
  kHiddenPageFull = 20,
  kHiddenAreaFull = 21,
  kHiddenDataExists = 22,
  kHiddenDataMissing = 23,
  kInitCalledTwice = 24,
  kInitNotCalled = 25,
  kBufferTooSmall = 26,
  kBadParameters = 27,
  kBadDriveLetter = 28,
};

}  // namespace pdk

// Fixed English text of a code; "No error string found" for anything else.
const char* PDKSDK_getErrorString(int code);
