#include "ProfileText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(ProfileText, NumbersAreTheLeadingDecimalDigitsWithinThirtyTwoBits) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"7abc", 7},
      {"12 monkeys", 12},
      {"abc", 0},
      {"", 0},
      {"0x10", 0},
      {"010", 10},
      {"-3x", -3},
      {" \t+42", 42},
      {"+", 0},
      {"- 5", 0},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      // Beyond 32 bits: the limit, as a Windows build's strtol gives it,
      // never the low bits of a wider number.
      {"2147483648", INT32_MAX},
      {"4294967297", INT32_MAX},
      {"-2147483649", INT32_MIN},
      {"99999999999999999999999", INT32_MAX},
      {"-99999999999999999999999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(CProfileText::Number(c.text), c.value) << c.text;
}

TEST(ProfileText, DecimalTextReadsBackAsTheSameNumber) {
  const struct {
    int32_t value;
    const char* text;
  } cases[] = {{0, "0"}, {1033, "1033"}, {-12, "-12"}, {INT32_MAX, "2147483647"},
               {INT32_MIN, "-2147483648"}};
  for (const auto& c : cases) {
    EXPECT_EQ(CProfileText::Decimal(c.value), c.text);
    EXPECT_EQ(CProfileText::Number(CProfileText::Decimal(c.value)), c.value);
  }
}

TEST(ProfileText, AValueIsCutToWhatTheBufferHoldsBesideItsNul) {
  const struct {
    size_t length;
    bool cut;
    size_t kept;
  } cases[] = {{0, false, 0},    {1022, false, 1022}, {1023, false, 1023},
               {1024, true, 1023}, {1500, true, 1023},  {4095, true, 1023}};
  for (const auto& c : cases) {
    std::string read(c.length, 'x');
    for (size_t i = 0; i < read.size(); ++i) read[i] = static_cast<char>('a' + i % 26);
    bool cut = !c.cut;
    const std::string kept = CProfileText::Fit(read, 1024, cut);
    EXPECT_EQ(cut, c.cut) << c.length;
    EXPECT_EQ(kept, read.substr(0, c.kept)) << c.length;
  }
}

}  // namespace
