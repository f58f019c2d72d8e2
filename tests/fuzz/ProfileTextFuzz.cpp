// Fuzz target of the values of "Tovik.ini": whatever text the profile reader
// hands over, the kept value is the part the read buffer holds, its number
// agrees with a plain walk of the digits, and a number written as text reads
// back as the same number. Built with libFuzzer the entry point is driven by
// the fuzzer; built without it, main() feeds a fixed pseudo-random corpus of
// mutated values.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "AppSettings.h"
#include "PlainDecimal.h"
#include "ProfileText.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "profile_text_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

// Input: the text the reader returned (as many bytes as its larger buffer
// holds). Its first four bytes are also taken as a number to write.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string read(reinterpret_cast<const char*>(data), size);

  bool cut = false;
  const std::string value = CProfileText::Fit(read, CAppSettings::kReadBufferSize, cut);
  if (cut != (read.size() >= CAppSettings::kReadBufferSize)) fail("cut told wrongly");
  if (value.size() >= CAppSettings::kReadBufferSize || read.compare(0, value.size(), value) != 0)
    fail("kept value is not the part the buffer holds");
  if (!cut && value != read) fail("a value that fits was changed");

  const int32_t number = CProfileText::Number(value);
  if (number != plainDecimal(value)) fail("number disagrees with a plain walk");
  // What is kept re-encodes: its text is the canonical decimal and reads back.
  const std::string text = CProfileText::Decimal(number);
  char printed[16];
  std::snprintf(printed, sizeof printed, "%ld", static_cast<long>(number));
  if (text != printed) fail("decimal text is not %ld");
  if (CProfileText::Number(text) != number) fail("decimal text reads back differently");

  if (size >= 4) {
    int32_t written = 0;
    std::memcpy(&written, data, 4);
    if (CProfileText::Number(CProfileText::Decimal(written)) != written)
      fail("written number reads back differently");
  }
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

std::string seed(std::mt19937& random) {
  const char* starts[] = {"", " ", "\t", "+", "-", "0", "00", " -"};
  std::string s = starts[random() % 8];
  const size_t digits = random() % 24;
  for (size_t i = 0; i < digits; ++i) s += char('0' + random() % 10);
  const char* tails[] = {"", "abc", " 12", "x", "\r", ".5", "e3", "-"};
  s += tails[random() % 8];
  if (random() % 16 == 0) s += std::string(CAppSettings::kReadBufferSize - 8 + random() % 16, '7');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 50000);
  std::mt19937 random(20261211);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::string input = seed(random);
    if (!input.empty() && random() % 4 == 0) input[random() % input.size()] = char(random());
    driver.feed(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  const size_t stored = driver.replay();
  std::printf("profile_text_fuzz: %lu values, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
