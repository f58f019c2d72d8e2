#include "PDKException.h"

#include <cstring>

namespace tovik::sync {

CPDKException::CPDKException(int32_t errorCode, const char* text) : code(errorCode), detail(0) {
  message[0] = '\0';
  if (text != nullptr) {
    std::strncpy(message, text, sizeof(message) - 1);
    message[sizeof(message) - 1] = '\0';
  }
}

}  // namespace tovik::sync
