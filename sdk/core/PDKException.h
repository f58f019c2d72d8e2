#pragma once

#include <cstdint>

namespace pdk {

// The SDK's only exception: thrown when it is used before PDKSDK_init.
class CPDKException {
 public:
  explicit CPDKException(int32_t code, const char* text = nullptr);
  virtual ~CPDKException() = default;

  int32_t code;
  char message[128];  // at most 127 characters of the text, NUL-terminated
};

// Throws code 25: an SDK object was asked for before PDKSDK_init.
[[noreturn]] void throwNotInitialised();

}  // namespace pdk
