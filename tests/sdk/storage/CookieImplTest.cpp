#include "CookieImpl.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "Aes128.h"
#include "CookiePage.h"
#include "CookieRecord.h"
#include "StoreFixture.h"
#include "TraceCapture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

// The drive key of "0F3B27000042", worked out by hand (text[16 - i] ^ text[i]).
const uint8_t kDriveKey[16] = {0x30, 0x46, 0x33, 0x42, 0x32, 0x05, 0x04, 0x00,
                               0x00, 0x00, 0x04, 0x05, 0x32, 0x42, 0x33, 0x46};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CookieImplTest : public StoreFixture {
 protected:
  std::string getString(const char* section, const char* name, int* rc = nullptr) {
    char buffer[256] = {};
    uint32_t size = sizeof buffer;
    const int r = store.getString(section, name, buffer, size);
    if (rc != nullptr) *rc = r;
    return r == 0 ? std::string(buffer) : std::string("<error ") + std::to_string(r) + ">";
  }
  // A full page of records of section `section`, as another writer left it.
  Bytes fullPage(const std::string& section) {
    CCookieCipher cipher(kSerial);
    CCookiePage p(0);
    for (int i = 0;; ++i) {
      CCookieRecord r;
      const std::string value(100, 'f');
      EXPECT_TRUE(r.build(3, section, "string", "k" + std::to_string(i), "", "12P43",
                          reinterpret_cast<const uint8_t*>(value.data()), value.size(), cipher));
      if (!p.add(r)) break;
    }
    Bytes bytes(512);
    p.serialize(bytes.data());
    return bytes;
  }
};

TEST_F(CookieImplTest, AWrittenPageIsExactlyTheDescribedBytes) {
  ASSERT_EQ(store.setString("Sec", "Name", "Hello"), 0);

  // Value part before enciphering: "" NUL, "12P43" NUL, "Hello" NUL, 3 zeros = 16.
  Bytes plainPart = {0};
  for (const Bytes& t : {text("12P43"), text("Hello")})
    plainPart.insert(plainPart.end(), t.begin(), t.end());
  plainPart.resize(16, 0);
  Bytes part(16);
  CAes128(kDriveKey).encipher(plainPart.data(), part.data(), 16);

  Bytes expected(512, 0);
  expected[0] = 1;  // state word 1
  expected[4] = 1;  // one record
  // Record: length 4 + 4 + 7 + 5 + 16 = 36, type 3, plain.
  Bytes record = {36, 0, 3, 1};
  for (const Bytes& t : {text("Sec"), text("string"), text("Name"), part}) {
    record.insert(record.end(), t.begin(), t.end());
  }
  std::copy(record.begin(), record.end(), expected.begin() + 5);
  EXPECT_EQ(page(1), expected);
  EXPECT_EQ(page(2), Bytes(512, 0xFF)) << "only the page that took the record is written";

  // The write went out as 0x0130 with the page number in parameter bytes 0-1.
  const std::vector<VendorCall> calls = vendorCalls();
  std::vector<VendorCall> writes;
  for (const VendorCall& c : calls) {
    if (c.subCode == 0x0130) writes.push_back(c);
  }
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].page, 1);
}

TEST_F(CookieImplTest, APasswordProtectedRecordHasBothLayersOnTheDrive) {
  CCookieCipher cipher(kSerial);
  CCookieRecord r;
  ASSERT_TRUE(r.build(3, "S", "string", "N", "pw", "12P43", reinterpret_cast<const uint8_t*>("v"),
                      1, cipher));
  ASSERT_EQ(store.addRecord(r, 3), 0);
  const Bytes p = page(1);
  const size_t partAt = 5 + 4 + 2 + 7 + 2;
  ASSERT_EQ(p[5], partAt - 5 + 32);
  EXPECT_EQ(p[8], 2) << "protected";
  Bytes part(p.begin() + partAt, p.begin() + partAt + 32);
  CAes128(kDriveKey).decipher(part.data(), part.data(), 32);
  Bytes field = {'p', 'w'};
  field.resize(16, 0);
  EXPECT_EQ(Bytes(part.begin(), part.begin() + 16), field);
  // Password key by hand: the drive key with 'p' and 'w' folded into its first bytes.
  uint8_t passwordKey[16];
  std::copy(kDriveKey, kDriveKey + 16, passwordKey);
  passwordKey[0] ^= 'p';
  passwordKey[1] ^= 'w';
  Bytes inner(part.begin() + 16, part.end());
  CAes128(passwordKey).decipher(inner.data(), inner.data(), 16);
  Bytes expectedInner = text("12P43");
  expectedInner.push_back('v');
  expectedInner.resize(16, 0);
  EXPECT_EQ(inner, expectedInner);
}

TEST_F(CookieImplTest, PagesAreReadWithTryWordZeroAndTheSerialIsAskedForOnce) {
  ASSERT_EQ(store.extructCookies(), 0);
  std::vector<VendorCall> calls = vendorCalls();
  ASSERT_EQ(calls.size(), 32u);
  EXPECT_EQ(calls[0].subCode, 0x0100) << "params without a serial: the drive is asked";
  for (uint16_t n = 1; n <= 31; ++n) {
    EXPECT_EQ(calls[n].subCode, 0x0131);
    EXPECT_EQ(calls[n].page, n);
    EXPECT_EQ(calls[n].tryWord, 0u);
  }
  EXPECT_EQ(store.serial(), kSerial);
  drive.clearCommandLog();
  ASSERT_EQ(store.extructCookies(), 0);
  EXPECT_EQ(vendorCalls().size(), 31u) << "the serial is known now";

  DeviceParams withSerial = driveE();
  pdk::setText(withSerial.serial, kSerial);
  CCookieImpl known(nt, withSerial);
  drive.clearCommandLog();
  ASSERT_EQ(known.extructCookies(), 0);
  EXPECT_EQ(vendorCalls().size(), 31u);
  EXPECT_EQ(vendorCalls()[0].subCode, 0x0131);
}

TEST_F(CookieImplTest, AFailedReadIsRetriedWithTryWordOne) {
  ASSERT_EQ(store.extructCookies(), 0);  // the serial is known from here on
  drive.clearCommandLog();
  drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  store.extructCookies();
  const std::vector<VendorCall> calls = vendorCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].subCode, 0x0131);
  EXPECT_EQ(calls[0].page, 1);
  EXPECT_EQ(calls[0].tryWord, 0u);
  EXPECT_EQ(calls[1].subCode, 0x0131);
  EXPECT_EQ(calls[1].page, 1);
  EXPECT_EQ(calls[1].tryWord, 1u);
}

TEST_F(CookieImplTest, APageUnreadableBothWaysFailsTheOperationWithItsCode) {
  ASSERT_EQ(store.setString("S", "N", "v"), 0);
  TraceCapture trace;
  drive.clearCommandLog();
  drive.injectFaults(emu::FaultKind::CheckCondition, 2);
  EXPECT_EQ(store.extructCookies(), pdk::kDeviceInternalError);
  EXPECT_FALSE(store.loaded());
  EXPECT_EQ(trace.count("CCookieImpl::extructCookies - failed reading cookies from PDK, error 4\n"),
            1u);
  drive.injectFaults(emu::FaultKind::NotDelivered, 2);
  EXPECT_EQ(store.setString("S", "M", "w"), pdk::kConnectionFailed);
  EXPECT_EQ(writesSeen(), 0u);
  trace.clear();
  EXPECT_EQ(getString("S", "N"), "v");
  EXPECT_TRUE(store.loaded());
  EXPECT_EQ(trace.count("CCookieImpl::extructCookies - success reading cookies from PDK\n"), 1u);
}

struct RoundTrip {
  const char* what;
  std::function<int(CCookieImpl&)> set;
  std::function<int(CCookieImpl&, std::string*)> get;
  std::string expected;
};

std::string asText(const uint8_t* data, uint32_t n) { return std::string(data, data + n); }

const RoundTrip kRoundTrips[] = {
    {"string", [](CCookieImpl& s) { return s.setString("Prefs", "Label", "My Drive"); },
     [](CCookieImpl& s, std::string* out) {
       char b[64];
       uint32_t n = sizeof b;
       const int rc = s.getString("Prefs", "Label", b, n);
       *out = b;
       return rc;
     },
     "My Drive"},
    {"empty string", [](CCookieImpl& s) { return s.setString("Prefs", "Empty", ""); },
     [](CCookieImpl& s, std::string* out) {
       char b[4] = "x";
       uint32_t n = sizeof b;
       const int rc = s.getString("Prefs", "Empty", b, n);
       *out = b;
       return rc;
     },
     ""},
    {"string of 127",
     [](CCookieImpl& s) { return s.setString("P", "Long", std::string(127, 'L').c_str()); },
     [](CCookieImpl& s, std::string* out) {
       char b[200];
       uint32_t n = sizeof b;
       const int rc = s.getString("P", "Long", b, n);
       *out = b;
       return rc;
     },
     std::string(127, 'L')},
    {"int max", [](CCookieImpl& s) { return s.setInt("Prefs", "Big", INT_MAX); },
     [](CCookieImpl& s, std::string* out) {
       int v = 0;
       const int rc = s.getInt("Prefs", "Big", v);
       *out = std::to_string(v);
       return rc;
     },
     std::to_string(INT_MAX)},
    {"int min", [](CCookieImpl& s) { return s.setInt("Prefs", "Small", INT_MIN); },
     [](CCookieImpl& s, std::string* out) {
       int v = 0;
       const int rc = s.getInt("Prefs", "Small", v);
       *out = std::to_string(v);
       return rc;
     },
     std::to_string(INT_MIN)},
    {"int read as text", [](CCookieImpl& s) { return s.setInt("Prefs", "Volume", -7); },
     [](CCookieImpl& s, std::string* out) {
       char b[16];
       uint32_t n = sizeof b;
       const int rc = s.getString("Prefs", "Volume", b, n);
       *out = b;
       return rc;
     },
     "-7"},
    {"binary with NULs",
     [](CCookieImpl& s) {
       return s.setBinary("Raw", "Blob", reinterpret_cast<const uint8_t*>("\0a\0b"), 4);
     },
     [](CCookieImpl& s, std::string* out) {
       uint8_t b[16];
       uint32_t n = sizeof b;
       const int rc = s.getBinary("Raw", "Blob", b, n);
       *out = asText(b, n);
       return rc;
     },
     std::string("\0a\0b", 4)},
    {"binary of 400",
     [](CCookieImpl& s) {
       const std::string v(400, '\x9c');
       return s.setBinary("Raw", "Big", reinterpret_cast<const uint8_t*>(v.data()), 400);
     },
     [](CCookieImpl& s, std::string* out) {
       uint8_t b[512];
       uint32_t n = sizeof b;
       const int rc = s.getBinary("Raw", "Big", b, n);
       *out = asText(b, n);
       return rc;
     },
     std::string(400, '\x9c')},
    {"empty binary", [](CCookieImpl& s) { return s.setBinary("Raw", "None", nullptr, 0); },
     [](CCookieImpl& s, std::string* out) {
       uint32_t n = 0;
       const int rc = s.getBinary("Raw", "None", nullptr, n);
       *out = std::to_string(n);
       return rc;
     },
     "0"},
};

class RoundTripTest : public StoreFixture, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(RoundTripTest, AValueSetIsReadBackFromTheDriveByAnotherStore) {
  ASSERT_EQ(GetParam().set(store), 0);
  CCookieImpl other(nt, driveE());
  std::string value;
  ASSERT_EQ(GetParam().get(other, &value), 0);
  EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Types, RoundTripTest, ::testing::ValuesIn(kRoundTrips));

TEST_F(CookieImplTest, SettingAnExistingCookieInAnyCaseReplacesIt) {
  ASSERT_EQ(store.setString("Sec", "Name", "one"), 0);
  ASSERT_EQ(store.setString("SEC", "nAME", "two"), 0);
  EXPECT_EQ(getString("sec", "name"), "two");
  const Bytes p = page(1);
  EXPECT_EQ(p[4], 1) << "one record only";
  ASSERT_EQ(store.setInt("sec", "NAME", 3), 0);
  int v = 0;
  EXPECT_EQ(store.getInt("Sec", "Name", v), 0);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(page(1)[4], 1);
}

TEST_F(CookieImplTest, ReplacingIntoAnotherPageWritesTheNewRecordFirst) {
  // Page 1 is full except for a small record of ours; the larger value must go to page 2.
  ASSERT_EQ(store.setString("S", "N", "small"), 0);
  Bytes p1 = page(1);
  CCookieCipher cipher(kSerial);
  CCookiePage filled(1);
  ASSERT_TRUE(filled.parse(p1.data(), cipher));
  for (int i = 0;; ++i) {
    CCookieRecord r;
    const std::string v(20, 'z');
    ASSERT_TRUE(r.build(3, "F", "string", "f" + std::to_string(i), "", "12P43",
                        reinterpret_cast<const uint8_t*>(v.data()), v.size(), cipher));
    if (!filled.add(r)) break;
  }
  filled.serialize(p1.data());
  putPage(1, p1);
  drive.clearCommandLog();
  ASSERT_EQ(store.setString("s", "n", std::string(120, 'B').c_str()), 0);
  std::vector<uint16_t> written;
  for (const VendorCall& c : vendorCalls()) {
    if (c.subCode == 0x0130) written.push_back(c.page);
  }
  EXPECT_EQ(written, (std::vector<uint16_t>{2, 1}));
  EXPECT_EQ(getString("S", "N"), std::string(120, 'B'));

  // A filler record of page 1 grown too large for it moves to page 2; when the
  // removal from page 1 fails, the code comes back and both copies stay, the
  // old one first in page order.
  scripted.failWrites(1, 1, pdk::kConnectionFailed);
  EXPECT_EQ(store.setString("F", "f0", std::string(120, 'G').c_str()), pdk::kConnectionFailed);
  EXPECT_EQ(page(2)[4], 2);
  EXPECT_EQ(getString("F", "f0"), std::string(20, 'z'));
}

TEST_F(CookieImplTest, AddingADuplicateAnswers22AndLeavesThePage) {
  ASSERT_EQ(store.setString("Sec", "Name", "one"), 0);
  const Bytes before = page(1);
  CCookieCipher cipher(kSerial);
  CCookieRecord r;
  ASSERT_TRUE(r.build(3, "sec", "string", "NAME", "", "12P43",
                      reinterpret_cast<const uint8_t*>("x"), 1, cipher));
  drive.clearCommandLog();
  EXPECT_EQ(store.addRecord(r, 3), pdk::kHiddenDataExists);
  EXPECT_EQ(writesSeen(), 0u);
  EXPECT_EQ(page(1), before);
  // Under another type byte the same names are another record.
  EXPECT_EQ(store.addRecord(r, 1), 0);
  EXPECT_EQ(store.addRecord(r, 0), pdk::kBadParameters);
  EXPECT_EQ(store.addRecord(CCookieRecord(), 3), pdk::kBadParameters);
}

TEST_F(CookieImplTest, ARecordMovesOnFromAFullPageToTheNextAndToTheFirstFreePage) {
  putPage(1, fullPage("A"));
  putPage(3, fullPage("C"));
  // Too large for the room fullPage() leaves (less than one of its 128-byte records).
  ASSERT_EQ(store.setString("New", "One", std::string(120, 'v').c_str()), 0);
  EXPECT_EQ(page(2)[0], 1) << "page 2 is the first free page";
  EXPECT_EQ(page(2)[4], 1);
  // A record still fitting page 1's remaining room goes there, first in turn.
  CCookieCipher cipher(kSerial);
  CCookiePage p1(1);
  Bytes bytes = page(1);
  ASSERT_TRUE(p1.parse(bytes.data(), cipher));
  const size_t room = CCookiePage::kMaxUsed - p1.used();
  ASSERT_GE(room, 30u) << "fullPage() leaves room for a small record";
  ASSERT_EQ(store.setString("X", "Y", ""), 0);
  EXPECT_EQ(page(1)[4], p1.records().size() + 1);
}

TEST_F(CookieImplTest, WithEveryPageFullTheAnswerIs21AndNothingIsWritten) {
  const Bytes full = fullPage("F");
  for (uint16_t n = 1; n <= 31; ++n) putPage(n, full);
  drive.clearCommandLog();
  EXPECT_EQ(store.setString("S", "N", std::string(100, 'v').c_str()), pdk::kHiddenAreaFull);
  EXPECT_EQ(writesSeen(), 0u);
}

TEST_F(CookieImplTest, ABufferTooSmallGets26AndTheSizeNeeded) {
  ASSERT_EQ(store.setString("S", "N", "abcde"), 0);
  char one[1] = {'#'};
  uint32_t size = 1;
  EXPECT_EQ(store.getString("S", "N", one, size), pdk::kBufferTooSmall);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(one[0], '#');
  char six[6];
  size = 6;
  EXPECT_EQ(store.getString("S", "N", six, size), 0);
  EXPECT_STREQ(six, "abcde");
  EXPECT_EQ(size, 6u);

  ASSERT_EQ(store.setBinary("S", "B", reinterpret_cast<const uint8_t*>("12345678"), 8), 0);
  uint8_t small[4];
  uint32_t length = sizeof small;
  EXPECT_EQ(store.getBinary("S", "B", small, length), pdk::kBufferTooSmall);
  EXPECT_EQ(length, 8u);
}

struct ProtectedCase {
  const char* password;
  int code;
};

class ProtectedValueTest : public StoreFixture,
                           public ::testing::WithParamInterface<ProtectedCase> {};

TEST_P(ProtectedValueTest, TheCheckSlotOpensOnlyWithThePassword) {
  CCookieCipher cipher(kSerial);
  CCookieRecord r;
  ASSERT_TRUE(r.build(3, "Vault", "string", "Key", "Opensesame", "12P43",
                      reinterpret_cast<const uint8_t*>("gold"), 4, cipher));
  ASSERT_EQ(store.addRecord(r, 3), 0);
  char buffer[32] = {};
  uint32_t size = sizeof buffer;
  EXPECT_EQ(store.getDefaultValue("vault", "KEY", GetParam().password, buffer, size),
            GetParam().code);
  if (GetParam().code == 0)
    EXPECT_STREQ(buffer, "12P43");
  else
    EXPECT_STREQ(buffer, "");
}

INSTANTIATE_TEST_SUITE_P(Passwords, ProtectedValueTest,
                         ::testing::Values(ProtectedCase{"Opensesame", 0},
                                           ProtectedCase{nullptr, pdk::kNotAuthenticated},
                                           ProtectedCase{"", pdk::kNotAuthenticated},
                                           ProtectedCase{"opensesame", pdk::kNotAuthenticated},
                                           ProtectedCase{"Opensesame!", pdk::kNotAuthenticated}));

TEST_F(CookieImplTest, PlainRecordsGiveTheirCheckSlotAndProtectedOnesNoStringWithoutPassword) {
  ASSERT_EQ(store.setString("S", "N", "v"), 0);
  char buffer[32];
  uint32_t size = sizeof buffer;
  EXPECT_EQ(store.getDefaultValue("S", "N", "anything", buffer, size), 0);
  EXPECT_STREQ(buffer, "12P43");

  CCookieCipher cipher(kSerial);
  CCookieRecord r;
  ASSERT_TRUE(r.build(3, "S", "string", "P", "pw", "12P43", reinterpret_cast<const uint8_t*>("v"),
                      1, cipher));
  ASSERT_EQ(store.addRecord(r, 3), 0);
  int rc = 0;
  getString("S", "P", &rc);
  EXPECT_EQ(rc, pdk::kNotAuthenticated);
}

TEST_F(CookieImplTest, DeletingCookiesAndSections) {
  ASSERT_EQ(store.setString("A", "one", "1"), 0);
  ASSERT_EQ(store.setString("A", "two", "2"), 0);
  ASSERT_EQ(store.setString("B", "one", "3"), 0);
  EXPECT_EQ(store.delCookie("a", "ONE"), 0);
  int rc = 0;
  getString("A", "one", &rc);
  EXPECT_EQ(rc, pdk::kHiddenDataMissing);
  EXPECT_EQ(store.delCookie("A", "one"), pdk::kHiddenDataMissing);
  EXPECT_EQ(getString("B", "one"), "3");

  ASSERT_EQ(store.setString("A", "three", "4"), 0);
  EXPECT_EQ(store.delSection("a"), 0);
  getString("A", "two", &rc);
  EXPECT_EQ(rc, pdk::kHiddenDataMissing);
  getString("A", "three", &rc);
  EXPECT_EQ(rc, pdk::kHiddenDataMissing);
  EXPECT_EQ(getString("B", "one"), "3");
  EXPECT_EQ(store.delSection("A"), pdk::kHiddenDataMissing);

  EXPECT_EQ(store.delSection("B"), 0);
  const Bytes p = page(1);
  EXPECT_EQ(p, Bytes(512, 0)) << "a page left without records is written with state word 0";

  CCookieCipher cipher(kSerial);
  CCookieRecord r;
  ASSERT_TRUE(r.build(3, "S", "string", "N", "", "12P43", nullptr, 0, cipher));
  EXPECT_EQ(store.deleteRecord(r), pdk::kHiddenDataMissing);
  ASSERT_EQ(store.addRecord(r, 3), 0);
  EXPECT_EQ(store.deleteRecord(r), 0);
}

TEST_F(CookieImplTest, FreeSpaceSumsTheRoomLeftOnPagesHoldingRecords) {
  uint32_t bytes = 1;
  ASSERT_EQ(store.freeSpace(bytes), 0);
  EXPECT_EQ(bytes, 0u) << "no page holds records";
  ASSERT_EQ(store.setString("Sec", "Name", "Hello"), 0);  // a 36-byte record
  ASSERT_EQ(store.freeSpace(bytes), 0);
  EXPECT_EQ(bytes, 512u - 5 - 36);
  putPage(7, fullPage("X"));
  CCookieCipher cipher(kSerial);
  CCookiePage p7(7);
  const Bytes bytes7 = fullPage("X");
  ASSERT_TRUE(p7.parse(bytes7.data(), cipher));
  ASSERT_EQ(store.freeSpace(bytes), 0);
  EXPECT_EQ(bytes, 512u - 5 - 36 + 512u - p7.used());
}

TEST_F(CookieImplTest, TheDumpListsEveryRecordInPageOrder) {
  ASSERT_EQ(store.setString("Prefs", "Label", "Mine"), 0);
  ASSERT_EQ(store.setInt("Prefs", "Count", 12), 0);
  ASSERT_EQ(store.setBinary("Raw", "Small", reinterpret_cast<const uint8_t*>("a\nb"), 3), 0);
  const std::string big(128, 'q');
  ASSERT_EQ(store.setBinary("Raw", "Big", reinterpret_cast<const uint8_t*>(big.data()), 128), 0);
  ASSERT_EQ(store.setBinary("Raw", "Empty", nullptr, 0), 0);

  const std::string path = ::testing::TempDir() + "cookie_dump.txt";
  ASSERT_EQ(store.dumpHiddenArea(path.c_str(), false), 0);
  EXPECT_EQ(readFile(path),
            "[Prefs]\nLabel = Mine\n[Prefs]\nCount = 12\n"
            "[Raw]\nbinary here - no dump\n[Raw]\nbinary here - no dump\n"
            "[Raw]\nbinary here - no dump\n");
  ASSERT_EQ(store.dumpHiddenArea(path.c_str(), true), 0);
  EXPECT_EQ(readFile(path),
            "[Prefs]\nLabel = Mine\n[Prefs]\nCount = 12\n"
            "[Raw]\nSmall = a\nb\n[Raw]\nBig = binary dump error !!!\n"
            "[Raw]\nEmpty = binary dump error !!!\n");
  std::remove(path.c_str());
}

TEST_F(CookieImplTest, DumpRefusesShortPathsAndFilesItCannotCreate) {
  EXPECT_EQ(store.dumpHiddenArea(nullptr, false), pdk::kBadParameters);
  EXPECT_EQ(store.dumpHiddenArea("x", false), pdk::kBadParameters);
  TraceCapture trace;
  const std::string path = ::testing::TempDir() + "no_such_folder_for_dump/dump.txt";
  EXPECT_EQ(store.dumpHiddenArea(path.c_str(), false), pdk::kBadParameters);
  EXPECT_EQ(trace.count("ERROR CCookieImpl::dumpHiddenArea can't open file " + path + "\n"), 1u);
}

TEST_F(CookieImplTest, DeleteAllClearsPagesZeroToThirty) {
  ASSERT_EQ(store.setString("S", "N", "v"), 0);
  putPage(0, fullPage("Z"));
  putPage(31, fullPage("L"));
  TraceCapture trace;
  EXPECT_EQ(store.delAllCookies(), 0);
  for (uint16_t n = 0; n <= 30; ++n) EXPECT_EQ(page(n), Bytes(512, 0)) << "page " << n;
  EXPECT_EQ(page(31), fullPage("L")) << "page 31 is not cleared";
  EXPECT_EQ(trace.count("CCookieImpl::delAllCookies - all cookies deleted\n"), 1u);
}

struct DeleteAllFailure {
  const char* what;
  int failures;  // writes of page 5 that fail
  int code;
  int result;
  bool stops;  // pages after 5 keep their contents
  const char* traceLine;
};

class DeleteAllFailureTest : public StoreFixture,
                             public ::testing::WithParamInterface<DeleteAllFailure> {};

TEST_P(DeleteAllFailureTest, AFailedWriteIsRetriedWithStateOneThenStops) {
  const DeleteAllFailure& c = GetParam();
  const Bytes marker(512, 0x5A);
  for (uint16_t n = 4; n <= 6; ++n) putPage(n, marker);
  scripted.failWrites(5, c.failures, c.code);
  TraceCapture trace;
  EXPECT_EQ(store.delAllCookies(), c.result) << c.what;
  EXPECT_EQ(page(4), Bytes(512, 0));
  if (c.stops) {
    EXPECT_EQ(page(5), marker);
    EXPECT_EQ(page(6), marker);
  } else {
    Bytes stateOne(512, 0);
    stateOne[0] = 1;
    EXPECT_EQ(page(5), stateOne) << "the second write carries state word 1";
    EXPECT_EQ(page(6), Bytes(512, 0));
  }
  EXPECT_EQ(trace.count(c.traceLine), 1u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DeleteAllFailureTest,
    ::testing::Values(
        DeleteAllFailure{"rejected twice", 2, pdk::kDeviceInternalError, 0, true,
                         "CCookieImpl::delAllCookies - failed in deleting cookies, error 4\n"},
        DeleteAllFailure{"not delivered twice", 2, pdk::kConnectionFailed, pdk::kConnectionFailed,
                         true,
                         "CCookieImpl::delAllCookies - failed in deleting cookies, error 3\n"},
        DeleteAllFailure{"second try succeeds", 1, pdk::kConnectionFailed, 0, false,
                         "CCookieImpl::delAllCookies - all cookies deleted\n"}));

TEST_F(CookieImplTest, AFailedWriteReportsItsCodeAndChangesNothing) {
  ASSERT_EQ(store.setString("S", "N", "old"), 0);
  const Bytes before = page(1);
  scripted.failWrites(1, 1, pdk::kConnectionFailed);
  EXPECT_EQ(store.setString("S", "N", "new"), pdk::kConnectionFailed);
  EXPECT_EQ(page(1), before);
  EXPECT_EQ(getString("S", "N"), "old");
  scripted.failWrites(1, 1, pdk::kDeviceInternalError);
  EXPECT_EQ(store.delCookie("S", "N"), pdk::kDeviceInternalError);
  EXPECT_EQ(getString("S", "N"), "old");
  scripted.failWrites(1, 1, pdk::kDeviceInternalError);
  EXPECT_EQ(store.writeAllPages(), pdk::kDeviceInternalError);
  EXPECT_EQ(store.writeAllPages(), 0);
  EXPECT_EQ(page(1), before);
}

TEST_F(CookieImplTest, BadPagesFromTheDriveAreSkippedAndTheRestStillWorks) {
  ASSERT_EQ(store.setString("Good", "One", "kept"), 0);
  Bytes p1 = page(1);
  // A count byte far above the records, and a zero-length record after the good one.
  p1[4] = 200;
  putPage(1, p1);
  Bytes garbage(512);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
  garbage[0] = 1;
  garbage[1] = garbage[2] = garbage[3] = 0;
  putPage(2, garbage);
  Bytes runaway(512, 0);
  runaway[0] = 1;
  runaway[4] = 3;
  runaway[5] = 0xFF;  // a record of 0x01FF bytes starting at 5 runs past the end
  runaway[6] = 0x01;
  runaway[7] = 3;
  runaway[8] = 1;
  putPage(3, runaway);

  EXPECT_EQ(getString("Good", "One"), "kept");
  ASSERT_EQ(store.setString("Good", "Two", "added"), 0);
  EXPECT_EQ(getString("Good", "Two"), "added");
  const std::string path = ::testing::TempDir() + "bad_pages_dump.txt";
  EXPECT_EQ(store.dumpHiddenArea(path.c_str(), true), 0);
  std::remove(path.c_str());
  uint32_t free = 0;
  EXPECT_EQ(store.freeSpace(free), 0);
}

TEST_F(CookieImplTest, ThePasswordHintIsTheDefaultRecordOfTheSerial) {
  ASSERT_EQ(store.setPasswordHint("my dog's name"), 0);
  char buffer[128];
  uint32_t size = sizeof buffer;
  ASSERT_EQ(store.getPasswordHint(buffer, size), 0);
  EXPECT_STREQ(buffer, "my dog's name");
  size = sizeof buffer;
  ASSERT_EQ(store.getDefaultValue(kSerial, "default", nullptr, buffer, size), 0);
  EXPECT_STREQ(buffer, "my dog's name");

  ASSERT_EQ(store.setPasswordHint(""), 0);
  size = sizeof buffer;
  ASSERT_EQ(store.getPasswordHint(buffer, size), 0);
  EXPECT_STREQ(buffer, "");
  const Bytes p = page(1);
  EXPECT_EQ(p[4], 1) << "the old hint was deleted";
  // Section = serial, empty type text, name "Default", type 3, plain.
  Bytes head = {3, 1};
  for (const Bytes& t : {text(kSerial), text(""), text("Default")})
    head.insert(head.end(), t.begin(), t.end());
  EXPECT_EQ(Bytes(p.begin() + 7, p.begin() + 7 + static_cast<long>(head.size())), head);

  EXPECT_EQ(store.setPasswordHint(nullptr), pdk::kBadParameters);
  EXPECT_EQ(store.setPasswordHint(std::string(128, 'h').c_str()), pdk::kBadParameters);
}

TEST_F(CookieImplTest, MissingHintAnswers23) {
  char buffer[128];
  uint32_t size = sizeof buffer;
  EXPECT_EQ(store.getPasswordHint(buffer, size), pdk::kHiddenDataMissing);
}

struct BadCall {
  const char* what;
  std::function<int(CCookieImpl&)> call;
};

const std::string k32(32, 'x');

const BadCall kBadCalls[] = {
    {"setString without section", [](CCookieImpl& s) { return s.setString(nullptr, "n", "v"); }},
    {"setString without value", [](CCookieImpl& s) { return s.setString("s", "n", nullptr); }},
    {"setString empty name", [](CCookieImpl& s) { return s.setString("s", "", "v"); }},
    {"setString section of 32", [](CCookieImpl& s) { return s.setString(k32.c_str(), "n", "v"); }},
    {"setString name of 32", [](CCookieImpl& s) { return s.setString("s", k32.c_str(), "v"); }},
    {"setString value of 128",
     [](CCookieImpl& s) { return s.setString("s", "n", std::string(128, 'v').c_str()); }},
    {"setInt name of 32", [](CCookieImpl& s) { return s.setInt("s", k32.c_str(), 1); }},
    {"getString without buffer",
     [](CCookieImpl& s) {
       uint32_t n = 10;
       return s.getString("s", "n", nullptr, n);
     }},
    {"getInt without name",
     [](CCookieImpl& s) {
       int v;
       return s.getInt("s", nullptr, v);
     }},
    {"delCookie without section", [](CCookieImpl& s) { return s.delCookie(nullptr, "n"); }},
    {"delSection without section", [](CCookieImpl& s) { return s.delSection(nullptr); }},
    {"setBinary without data", [](CCookieImpl& s) { return s.setBinary("s", "n", nullptr, 4); }},
    {"setBinary larger than a page",
     [](CCookieImpl& s) {
       const std::string v(500, 'b');
       return s.setBinary("s", "n", reinterpret_cast<const uint8_t*>(v.data()), 500);
     }},
    {"getBinary without buffer",
     [](CCookieImpl& s) {
       uint32_t n = 4;
       return s.getBinary("s", "n", nullptr, n);
     }},
    {"getDefaultValue without buffer",
     [](CCookieImpl& s) {
       uint32_t n = 4;
       return s.getDefaultValue("s", "n", nullptr, nullptr, n);
     }},
};

class BadCallTest : public StoreFixture, public ::testing::WithParamInterface<BadCall> {};

TEST_P(BadCallTest, Answers27AndWritesNothing) {
  EXPECT_EQ(GetParam().call(store), pdk::kBadParameters) << GetParam().what;
  EXPECT_EQ(writesSeen(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Calls, BadCallTest, ::testing::ValuesIn(kBadCalls));

TEST_F(CookieImplTest, GettersOfAnotherTypeFindNothing) {
  ASSERT_EQ(store.setString("S", "Text", "abc"), 0);
  ASSERT_EQ(store.setBinary("S", "Blob", reinterpret_cast<const uint8_t*>("x"), 1), 0);
  int v = 0;
  EXPECT_EQ(store.getInt("S", "Text", v), pdk::kHiddenDataMissing);
  int rc = 0;
  getString("S", "Blob", &rc);
  EXPECT_EQ(rc, pdk::kHiddenDataMissing);
  uint8_t b[4];
  uint32_t n = sizeof b;
  EXPECT_EQ(store.getBinary("S", "Text", b, n), pdk::kHiddenDataMissing);
}

}  // namespace
