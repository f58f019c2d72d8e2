#include "PDKErrors.h"

namespace {

const char* const kErrorTexts[] = {
    "Ok",
    "General error",
    "SDK Can't access a device",
    "Connection to device failed",
    "Device internal error",
    "Verification error",
    "Error in swap between Lun's",
    "Unable to lock the device",
    "The device is not connected",
    "SDK can't authentication a device",
    "Change in device parameters",
    "Device status is 'not ready'",
    "Device is UCL version",
    "No safe partition",
    "Device format failed",
    "Device version don't support the specific command",
    "No need to detach the device",
    "The device already exists in SDK",
    "According to device information - device is too small to format",
    "According to device information - device too big to format",
    "Hidden page is full",
    "Hidden area is full",
    "Hidden area data already exists",
    "Hidden area data doesn't exist",
    "'PDKInit' method called more then once",
    "'PDKInit' method not called",
    "The buffer passed to the method is too small",
    "Incorrected parameters to method",
    "SDK can't handle the drive letter",
};

constexpr int kErrorTextCount = static_cast<int>(sizeof(kErrorTexts) / sizeof(kErrorTexts[0]));
static_assert(kErrorTextCount == pdk::kBadDriveLetter + 1, "one text per code");

}  // namespace

const char* PDKSDK_getErrorString(int code) {
  if (code < 0 || code >= kErrorTextCount) return "No error string found";
  return kErrorTexts[code];
}
