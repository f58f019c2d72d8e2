#include "PDKException.h"

#include <cstring>

#include "PDKErrors.h"

namespace pdk {

CPDKException::CPDKException(int32_t errorCode, const char* text) : code(errorCode), message{} {
  if (text != nullptr) std::strncpy(message, text, sizeof(message) - 1);
}

void throwNotInitialised() {
  throw CPDKException(kInitNotCalled, "Should call PDKSDK_init() method to initilize the PDKSDK");
}

}  // namespace pdk
