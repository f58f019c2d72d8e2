// The rules by which the program makes values of the texts its profile files
// hold ("Tovik.ini", a drive's "Autorun.inf"). The system's profile reader
// finds the text; what becomes of it is decided here, apart from any Windows
// call, so the rules build and run natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CProfileText {
 public:
  // What a reader with a buffer of `bufferSize` bytes keeps of `read`, the
  // text the system handed to a larger buffer: all of it when it fits with its
  // NUL, otherwise its first bufferSize - 1 bytes, and `cut` tells which.
  static std::string Fit(const std::string& read, size_t bufferSize, bool& cut);

  // The value as strtol base 10 reads it with the 32-bit long of the
  // program's own builds: blanks, a sign, the digits up to the first other
  // character (0 without digits); a number out of range gives the nearer
  // limit, on every platform alike.
  static int32_t Number(const std::string& text);

  // The decimal text the writers store ("%ld" of a 32-bit value).
  static std::string Decimal(int32_t value);
};
