// The record and page codec on its own: exact bytes of built records, and pages
// from a drive that must be read defensively.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Aes128.h"
#include "CookieCipher.h"
#include "CookiePage.h"
#include "CookieRecord.h"

namespace {

using Bytes = std::vector<uint8_t>;
const char* const kSerial = "0F3B27000042";

Bytes text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

CCookieRecord build(CCookieCipher& cipher, const std::string& section, const std::string& type,
                    const std::string& name, const std::string& value,
                    const std::string& password = "") {
  CCookieRecord r;
  EXPECT_TRUE(r.build(3, section, type, name, password, "12P43",
                      reinterpret_cast<const uint8_t*>(value.data()), value.size(), cipher));
  return r;
}

Bytes bytesOf(const CCookieRecord& r) {
  Bytes out(r.length());
  r.serialize(out.data());
  return out;
}

Bytes decipher(const uint8_t* key, Bytes data) {
  CAes128 aes(key);
  EXPECT_TRUE(aes.decipher(data.data(), data.data(), data.size()));
  return data;
}

// A page holding records back to back under the given count byte.
Bytes pageOf(uint8_t count, std::initializer_list<Bytes> records, uint32_t state = 1) {
  Bytes page(CCookiePage::kSize, 0);
  for (int i = 0; i < 4; ++i) page[i] = static_cast<uint8_t>(state >> (8 * i));
  page[4] = count;
  size_t at = CCookiePage::kHeaderSize;
  for (const Bytes& r : records) {
    for (size_t i = 0; i < r.size() && at < page.size(); ++i) page[at++] = r[i];
  }
  return page;
}

class CookieCodecTest : public ::testing::Test {
 protected:
  CCookieCipher cipher{kSerial};
};

TEST_F(CookieCodecTest, BinaryRecordCarriesItsLengthAfterTheTypeText) {
  const std::string value("\x01\x00\x02", 3);
  const CCookieRecord r = build(cipher, "S", "bin", "N", value);
  const Bytes b = bytesOf(r);
  // Texts: "S\0" "bin\0" + length 3 + "N\0"; value part "\0" "12P43\0" 01 00 02 "\0" + 5 zeros.
  const Bytes head = concat({text("S"), text("bin"), {3, 0, 0, 0}, text("N")});
  ASSERT_EQ(b.size(), 4 + head.size() + 16);
  EXPECT_EQ(b[0] | (b[1] << 8), static_cast<int>(b.size()));
  EXPECT_EQ(b[2], 3);
  EXPECT_EQ(b[3], 1);
  EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 4 + static_cast<long>(head.size())), head);
  const Bytes plain =
      decipher(cipher.driveKey(), Bytes(b.begin() + 4 + static_cast<long>(head.size()), b.end()));
  EXPECT_EQ(plain, concat({{0}, text("12P43"), {1, 0, 2, 0}, Bytes(5, 0)}));
  EXPECT_TRUE(r.isBinary());
  EXPECT_EQ(r.binaryLength(), 3u);
}

struct PasswordCase {
  size_t passwordLength;
  size_t fieldLength;  // the password padded: a whole block more when already whole blocks
};

class PasswordFieldTest : public CookieCodecTest,
                          public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(PasswordFieldTest, ProtectedValuePartHasThePaddedPasswordThenThePasswordLayer) {
  const std::string password(GetParam().passwordLength, 'p');
  const CCookieRecord r = build(cipher, "S", "string", "N", "v", password);
  EXPECT_TRUE(r.isProtected());
  const Bytes b = bytesOf(r);
  EXPECT_EQ(b[3], 2);
  const size_t partAt = 4 + text("S").size() + text("string").size() + text("N").size();
  const Bytes part =
      decipher(cipher.driveKey(), Bytes(b.begin() + static_cast<long>(partAt), b.end()));
  const size_t field = GetParam().fieldLength;
  // "12P43\0v\0" is 8 bytes: padded inside the password layer to one block.
  ASSERT_EQ(part.size(), field + 16);
  Bytes expectedField(field, 0);
  std::memcpy(expectedField.data(), password.data(), password.size());
  EXPECT_EQ(Bytes(part.begin(), part.begin() + static_cast<long>(field)), expectedField);

  uint8_t passwordKey[16];
  CCookieCipher::derivePasswordKey(cipher.driveKey(), password.c_str(), passwordKey);
  const Bytes inner =
      decipher(passwordKey, Bytes(part.begin() + static_cast<long>(field), part.end()));
  EXPECT_EQ(inner, concat({text("12P43"), text("v"), Bytes(8, 0)}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, PasswordFieldTest,
                         ::testing::Values(PasswordCase{1, 16}, PasswordCase{15, 16},
                                           PasswordCase{16, 32}, PasswordCase{31, 32}));

struct RefusedBuild {
  const char* what;
  uint8_t type;
  std::string section, typeText, name, password, value;
};

class RefusedBuildTest : public CookieCodecTest,
                         public ::testing::WithParamInterface<RefusedBuild> {};

TEST_P(RefusedBuildTest, BuildRefusesAndKeepsTheRecord) {
  const RefusedBuild& c = GetParam();
  CCookieRecord r;
  EXPECT_FALSE(r.build(c.type, c.section, c.typeText, c.name, c.password, "12P43",
                       reinterpret_cast<const uint8_t*>(c.value.data()), c.value.size(), cipher))
      << c.what;
  EXPECT_TRUE(r.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedBuildTest,
    ::testing::Values(
        RefusedBuild{"section of 32", 3, std::string(32, 's'), "string", "n", "", "v"},
        RefusedBuild{"name of 32", 3, "s", "string", std::string(32, 'n'), "", "v"},
        RefusedBuild{"type text of 32", 3, "s", std::string(32, 't'), "n", "", "v"},
        RefusedBuild{"password of 32", 3, "s", "string", "n", std::string(32, 'p'), "v"},
        RefusedBuild{"type byte 0", 0, "s", "string", "n", "", "v"},
        RefusedBuild{"type byte 5", 5, "s", "string", "n", "", "v"},
        RefusedBuild{"NUL inside a text value", 3, "s", "string", "n", "", std::string("a\0b", 3)},
        RefusedBuild{"larger than a page", 3, "s", "bin", "n", "", std::string(480, 'x')}));

TEST_F(CookieCodecTest, ParsedRecordsSerializeToTheSameBytesAndOpen) {
  const CCookieRecord records[] = {
      build(cipher, "Sec", "string", "Name", "Hello"),
      build(cipher, "Sec", "int", "Count", "-42"),
      build(cipher, "Sec", "bin", "Blob", std::string("\0\1\2\0", 4)),
      build(cipher, "Sec", "string", "Secret", "hidden", "pw"),
      build(cipher, "Sec", "", "Default", ""),
  };
  for (const CCookieRecord& original : records) {
    const Bytes b = bytesOf(original);
    CCookieRecord parsed;
    size_t length = 0;
    ASSERT_EQ(CCookieRecord::parse(b.data(), b.size(), cipher, parsed, &length),
              CCookieRecord::ParseResult::kRecord)
        << original.name();
    EXPECT_EQ(length, b.size());
    EXPECT_EQ(bytesOf(parsed), b);
    EXPECT_EQ(parsed.section(), original.section());
    EXPECT_EQ(parsed.typeText(), original.typeText());
    EXPECT_EQ(parsed.name(), original.name());
    std::string check;
    Bytes value;
    const char* password = original.isProtected() ? "pw" : nullptr;
    ASSERT_EQ(parsed.open(password, cipher, &check, &value), CCookieRecord::OpenResult::kOk);
    EXPECT_EQ(check, "12P43");
    Bytes expected;
    original.open(password, cipher, nullptr, &expected);
    EXPECT_EQ(value, expected);
  }
}

TEST_F(CookieCodecTest, AProtectedValueOpensOnlyWithItsOwnPassword) {
  const CCookieRecord r = build(cipher, "S", "string", "N", "hidden", "Secret");
  Bytes value;
  EXPECT_EQ(r.open(nullptr, cipher, nullptr, &value), CCookieRecord::OpenResult::kWrongPassword);
  EXPECT_EQ(r.open("secret", cipher, nullptr, &value), CCookieRecord::OpenResult::kWrongPassword);
  EXPECT_EQ(r.open("", cipher, nullptr, &value), CCookieRecord::OpenResult::kWrongPassword);
  ASSERT_EQ(r.open("Secret", cipher, nullptr, &value), CCookieRecord::OpenResult::kOk);
  EXPECT_EQ(std::string(value.begin(), value.end()), "hidden");
}

TEST_F(CookieCodecTest, MatchingIgnoresCaseButNotTheType) {
  const CCookieRecord r = build(cipher, "MySection", "string", "MyName", "v");
  EXPECT_TRUE(r.matches(3, "mysection", "MYNAME"));
  EXPECT_FALSE(r.matches(1, "MySection", "MyName"));
  EXPECT_FALSE(r.matches(3, "MySection", "MyName2"));
  EXPECT_TRUE(r.inSection(3, "MYSECTION"));
  EXPECT_FALSE(r.inSection(3, "MySectio"));
}

// ---- pages ------------------------------------------------------------------

TEST_F(CookieCodecTest, APageSerializesStateCountAndRecordsAndParsesBack) {
  CCookiePage page(4);
  const CCookieRecord a = build(cipher, "S", "string", "A", "1");
  const CCookieRecord b = build(cipher, "S", "string", "B", "22");
  ASSERT_TRUE(page.add(a));
  ASSERT_TRUE(page.add(b));
  EXPECT_EQ(page.used(), 5 + a.length() + b.length());
  Bytes bytes(CCookiePage::kSize);
  page.serialize(bytes.data());
  EXPECT_EQ(bytes, pageOf(2, {bytesOf(a), bytesOf(b)}));

  CCookiePage back(4);
  ASSERT_TRUE(back.parse(bytes.data(), cipher));
  ASSERT_EQ(back.records().size(), 2u);
  EXPECT_EQ(back.used(), page.used());
  EXPECT_EQ(back.find(3, "s", "b"), 1);

  back.removeAt(0);
  back.removeAt(0);
  back.serialize(bytes.data());
  EXPECT_EQ(bytes, Bytes(CCookiePage::kSize, 0)) << "an emptied page is written with state word 0";
}

TEST_F(CookieCodecTest, APageTakesARecordOnlyUpTo511UsedBytes) {
  CCookiePage page(1);
  // 4 + "S\0" + "bin\0" + 4 + "A\0" + 416 (1 + 6 + 400 + 1 padded) = 432 bytes.
  const CCookieRecord big = build(cipher, "S", "bin", "A", std::string(400, 'x'));
  ASSERT_EQ(big.length(), 432u);
  ASSERT_TRUE(page.add(big));
  ASSERT_EQ(page.used(), 437u);
  // 4 + 12 + 8 + 2 + 48 (1 + 6 + 30 + 1 padded) = 74: exactly to 511.
  const CCookieRecord exact = build(cipher, std::string(11, 's'), "bin", "B", std::string(30, 'y'));
  ASSERT_EQ(exact.length(), 74u);
  // One section character more: 75.
  const CCookieRecord oneMore =
      build(cipher, std::string(12, 's'), "bin", "B", std::string(30, 'y'));
  EXPECT_FALSE(page.fits(oneMore));
  EXPECT_FALSE(page.add(oneMore));
  EXPECT_TRUE(page.add(exact));
  EXPECT_EQ(page.used(), CCookiePage::kMaxUsed);
}

TEST_F(CookieCodecTest, PagesThatDoNotHoldRecordsAreNoStorePages) {
  const Bytes good = bytesOf(build(cipher, "S", "string", "N", "v"));
  for (uint32_t state : {0u, 2u, 0xFFFFFFFFu, 0x100u}) {
    CCookiePage page(1);
    const Bytes bytes = pageOf(1, {good}, state);
    EXPECT_FALSE(page.parse(bytes.data(), cipher)) << state;
    EXPECT_TRUE(page.records().empty());
  }
}

// Bad bytes from a drive, each put in front of a good record on the same page.
struct BadRecord {
  const char* what;
  std::function<Bytes(const Bytes& valid, CCookieCipher& cipher)> make;
  bool goodRecordFollows;  // the bad one is skipped by its length
};

// The value part of a valid plain "S"/"string"/"N" record, rewritten in plain text.
Bytes withPlainPart(const Bytes& valid, CCookieCipher& cipher, const Bytes& plain) {
  const size_t at = 4 + 2 + 7 + 2;
  Bytes part = plain;
  cipher.encipher(part.data(), part.size());
  Bytes out(at + part.size());
  std::copy(valid.begin(), valid.begin() + static_cast<long>(at), out.begin());
  std::copy(part.begin(), part.end(), out.begin() + static_cast<long>(at));
  out[0] = static_cast<uint8_t>(out.size());
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  return out;
}

Bytes patched(Bytes b, size_t at, uint8_t value) {
  b[at] = value;
  return b;
}

const BadRecord kBadRecords[] = {
    {"record length 0",
     [](const Bytes& v, CCookieCipher&) { return patched(patched(v, 0, 0), 1, 0); }, false},
    {"record length 3",
     [](const Bytes& v, CCookieCipher&) { return patched(patched(v, 0, 3), 1, 0); }, false},
    {"record running past the page end",
     [](const Bytes& v, CCookieCipher&) { return patched(v, 1, 2); }, false},
    {"type byte 0", [](const Bytes& v, CCookieCipher&) { return patched(v, 2, 0); }, true},
    {"type byte 5", [](const Bytes& v, CCookieCipher&) { return patched(v, 2, 5); }, true},
    {"protection byte 3", [](const Bytes& v, CCookieCipher&) { return patched(v, 3, 3); }, true},
    {"no NUL anywhere in the record",
     [](const Bytes& v, CCookieCipher&) {
       Bytes b = v;
       for (size_t i = 4; i < b.size(); ++i) b[i] = 'x';
       return b;
     },
     true},
    {"section longer than its field",
     [](const Bytes&, CCookieCipher&) {
       Bytes b(4, 0);
       b[2] = 3;
       b[3] = 1;
       const Bytes body =
           concat({text(std::string(40, 's')), text("string"), text("N"), Bytes(16, 0)});
       b.insert(b.end(), body.begin(), body.end());
       b[0] = static_cast<uint8_t>(b.size());
       return b;
     },
     true},
    {"value part not whole blocks",
     [](const Bytes& v, CCookieCipher&) {
       Bytes b = v;
       b.push_back(0);
       b[0] = static_cast<uint8_t>(b[0] + 1);
       return b;
     },
     true},
    {"record ending inside the name",
     [](const Bytes& v, CCookieCipher&) {
       Bytes b(v.begin(), v.begin() + 4 + 2 + 7 + 1);
       b[0] = static_cast<uint8_t>(b.size());
       return b;
     },
     true},
    {"password without NUL",
     [](const Bytes& v, CCookieCipher& c) { return withPlainPart(v, c, Bytes(48, 'p')); }, true},
    {"check text without NUL",
     [](const Bytes& v, CCookieCipher& c) {
       return withPlainPart(v, c, concat({{0}, Bytes(31, 'c')}));
     },
     true},
    {"value without NUL",
     [](const Bytes& v, CCookieCipher& c) {
       return withPlainPart(v, c, concat({{0}, text("12P43"), Bytes(25, 'v')}));
     },
     true},
    {"protected password field as long as the part",
     [](const Bytes& v, CCookieCipher& c) {
       Bytes b = withPlainPart(v, c, concat({text(std::string(20, 'p')), Bytes(11, 0)}));
       b[3] = 2;
       return b;
     },
     true},
    {"bin length beyond the record",
     [](const Bytes&, CCookieCipher& c) {
       CCookieRecord r;
       r.build(3, "S", "bin", "B", "", "12P43", reinterpret_cast<const uint8_t*>("abc"), 3, c);
       Bytes b = bytesOf(r);
       return patched(patched(b, 4 + 2 + 4 + 1, 0x10), 4 + 2 + 4, 0);  // 4096 bytes
     },
     true},
    {"bin length 0xFFFFFFFF",
     [](const Bytes&, CCookieCipher& c) {
       CCookieRecord r;
       r.build(3, "S", "bin", "B", "", "12P43", reinterpret_cast<const uint8_t*>("abc"), 3, c);
       Bytes b = bytesOf(r);
       for (size_t i = 0; i < 4; ++i) b[4 + 2 + 4 + i] = 0xFF;
       return b;
     },
     true},
};

class BadRecordTest : public CookieCodecTest, public ::testing::WithParamInterface<BadRecord> {};

TEST_P(BadRecordTest, IsSkippedOrEndsThePageWithoutReadingOutside) {
  const Bytes valid = bytesOf(build(cipher, "S", "string", "N", "v"));
  const Bytes good = bytesOf(build(cipher, "T", "string", "Good", "yes"));
  const Bytes bad = GetParam().make(valid, cipher);
  // The page is copied into a buffer of exactly 512 bytes so that ASan sees any
  // read past its end.
  const Bytes bytes = pageOf(2, {bad, good});
  std::unique_ptr<uint8_t[]> exact(new uint8_t[CCookiePage::kSize]);
  std::memcpy(exact.get(), bytes.data(), CCookiePage::kSize);

  CCookiePage page(1);
  ASSERT_TRUE(page.parse(exact.get(), cipher));
  if (GetParam().goodRecordFollows) {
    ASSERT_EQ(page.records().size(), 1u) << GetParam().what;
    EXPECT_EQ(page.records()[0].name(), "Good");
    EXPECT_EQ(page.used(), 5 + bad.size() + good.size()) << "skipped bytes stay counted";
  } else {
    EXPECT_TRUE(page.records().empty()) << GetParam().what;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadRecordTest, ::testing::ValuesIn(kBadRecords));

TEST_F(CookieCodecTest, ACountByteLargerThanTheRecordsReadsOnlyTheRecords) {
  const Bytes good = bytesOf(build(cipher, "S", "string", "N", "v"));
  CCookiePage page(1);
  const Bytes bytes = pageOf(255, {good, good});
  ASSERT_TRUE(page.parse(bytes.data(), cipher));
  EXPECT_EQ(page.records().size(), 2u);

  const Bytes none = pageOf(0, {good});
  ASSERT_TRUE(page.parse(none.data(), cipher));
  EXPECT_TRUE(page.records().empty());
}

TEST_F(CookieCodecTest, ARecordEndingExactlyAtThePageEndIsRead) {
  const Bytes good = bytesOf(build(cipher, "S", "string", "N", "v"));
  // Filler records skipped by their type byte bring the good one to the very end.
  const size_t fillerTotal = CCookiePage::kSize - 5 - good.size();
  Bytes filler(fillerTotal, 0);
  filler[0] = static_cast<uint8_t>(fillerTotal & 0xFF);
  filler[1] = static_cast<uint8_t>(fillerTotal >> 8);
  filler[2] = 9;
  CCookiePage page(1);
  const Bytes bytes = pageOf(2, {filler, good});
  ASSERT_TRUE(page.parse(bytes.data(), cipher));
  ASSERT_EQ(page.records().size(), 1u);
  EXPECT_EQ(page.used(), CCookiePage::kSize);
  EXPECT_FALSE(page.fits(build(cipher, "S", "string", "M", "v")));
}

}  // namespace
