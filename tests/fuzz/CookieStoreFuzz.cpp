// Fuzz target of the hidden-area store over whole pages: whatever a drive
// holds in its hidden pages, each lookup of the store (string, number, binary
// value, free space) agrees with a plain walk of the pages in page order, a
// page read that fails makes every operation fail, the pages the store writes
// back read as the very records they held and write as the very same bytes,
// and adding a value changes no other lookup. Built with libFuzzer the entry
// point is driven by the fuzzer; built without it, main() feeds a fixed
// pseudo-random corpus of mutated stores.
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "CookieCipher.h"
#include "CookieImpl.h"
#include "CookiePage.h"
#include "CookieRecord.h"
#include "DebugOutput.h"
#include "DeviceParams.h"
#include "PDKErrors.h"
#include "SilentConnection.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "cookie_store_fuzz: %s\n", what);
  std::abort();
}

constexpr const char* kSerial = "0F3B27000042";
constexpr size_t kPages = CCookieImpl::kLastPage + 1;
// Input layout: the number of a page whose reads fail (0 none, taken modulo
// 32), the numbers of the three given pages (1 to 31), the three pages.
constexpr size_t kFailAt = 0;
constexpr size_t kNumbersAt = 1;
constexpr size_t kGiven = 3;
constexpr size_t kPagesAt = kNumbersAt + kGiven;
constexpr size_t kInputBytes = kPagesAt + kGiven * CCookiePage::kSize;
// Lookups per input: enough keys to meet duplicates across pages.
constexpr size_t kKeys = 6;

// The hidden area in memory.
class PageConnection : public SilentConnection {
 public:
  int vendorIn(CDeviceHandle&, uint16_t subCode, uint32_t paramLength, const uint8_t* params,
               uint32_t dataLength, uint8_t* data, uint32_t) override {
    if (subCode == CCookieImpl::kSubCodeSerial) return kSilent;  // the params carry it
    if (subCode != CCookieImpl::kSubCodeReadPage || paramLength != 6 ||
        dataLength != CCookiePage::kSize)
      fail("unexpected query");
    const uint16_t n = uint16_t(params[0] | params[1] << 8);
    if (n >= kPages) fail("read of a page beyond the store");
    if (n == failing) return kSilent;
    std::memcpy(data, pages[n].data(), CCookiePage::kSize);
    return 0;
  }
  int vendorOut(CDeviceHandle&, uint16_t subCode, uint32_t paramLength, const uint8_t* params,
                uint32_t dataLength, const uint8_t* data, uint32_t) override {
    if (subCode != CCookieImpl::kSubCodeWritePage || paramLength != 2 ||
        dataLength != CCookiePage::kSize)
      fail("unexpected command");
    const uint16_t n = uint16_t(params[0] | params[1] << 8);
    if (n >= kPages) fail("write of a page beyond the store");
    std::memcpy(pages[n].data(), data, CCookiePage::kSize);
    written.push_back(n);
    return 0;
  }

  std::array<std::array<uint8_t, CCookiePage::kSize>, kPages> pages{};
  uint16_t failing = 0xFFFF;
  std::vector<uint16_t> written;
};

CCookieCipher& cipher() {
  static CCookieCipher c(kSerial);
  return c;
}

// The plain walk: every page parsed on its own, in page order.
std::vector<CCookiePage> plainPages(const PageConnection& drive) {
  std::vector<CCookiePage> out;
  for (uint16_t n = CCookieImpl::kFirstPage; n <= CCookieImpl::kLastPage; ++n) {
    CCookiePage page(n);
    if (page.parse(drive.pages[n].data(), cipher())) out.push_back(page);
  }
  return out;
}
const CCookieRecord* plainFind(const std::vector<CCookiePage>& pages, const std::string& section,
                               const std::string& name) {
  for (const CCookiePage& page : pages)
    for (const CCookieRecord& r : page.records())
      if (r.matches(CCookieRecord::kTypeCookie, section, name)) return &r;
  return nullptr;
}
// A whole text that is a decimal number of an int, as strtol reads it.
bool plainInt(const std::string& text, int& value) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size()) return false;
  int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > (int64_t(1) << 31)) return false;
  }
  const int64_t v = negative ? -magnitude : magnitude;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = int(v);
  return true;
}

// What the store answers for one key, all three ways.
struct Answers {
  int stringRc, intRc, binaryRc;
  std::string text;
  int number = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const Answers& o) const {
    return stringRc == o.stringRc && intRc == o.intRc && binaryRc == o.binaryRc &&
           text == o.text && number == o.number && bytes == o.bytes;
  }
};
Answers ask(CCookieImpl& store, const std::string& section, const std::string& name) {
  Answers a{};
  char buffer[CCookiePage::kSize + 1];
  uint32_t size = sizeof buffer;
  a.stringRc = store.getString(section.c_str(), name.c_str(), buffer, size);
  if (a.stringRc == pdk::kOk) {
    if (size == 0 || size > sizeof buffer || buffer[size - 1] != '\0') fail("string size wrong");
    a.text.assign(buffer, size - 1);
  }
  a.intRc = store.getInt(section.c_str(), name.c_str(), a.number);
  if (a.intRc != pdk::kOk) a.number = 0;
  uint8_t bytes[CCookiePage::kSize];
  uint32_t length = sizeof bytes;
  a.binaryRc = store.getBinary(section.c_str(), name.c_str(), bytes, length);
  if (a.binaryRc == pdk::kOk) a.bytes.assign(bytes, bytes + length);
  return a;
}
// What the plain walk says the store must answer.
Answers expect(const std::vector<CCookiePage>& pages, const std::string& section,
               const std::string& name) {
  Answers a{pdk::kHiddenDataMissing, pdk::kHiddenDataMissing, pdk::kHiddenDataMissing, {}, 0, {}};
  const CCookieRecord* r = plainFind(pages, section, name);
  if (r == nullptr) return a;
  std::vector<uint8_t> value;
  const CCookieRecord::OpenResult opened = r->open(nullptr, cipher(), nullptr, &value);
  const int openRc = opened == CCookieRecord::OpenResult::kOk              ? pdk::kOk
                     : opened == CCookieRecord::OpenResult::kWrongPassword ? pdk::kNotAuthenticated
                                                                           : pdk::kVerificationError;
  const std::string text(value.begin(), value.end());
  if (r->typeText() == CCookieRecord::kTypeString || r->typeText() == CCookieRecord::kTypeInt) {
    a.stringRc = openRc;
    if (openRc == pdk::kOk) a.text = text;
  }
  if (r->typeText() == CCookieRecord::kTypeInt) {
    a.intRc = openRc;
    if (openRc == pdk::kOk && !plainInt(text, a.number)) {
      a.intRc = pdk::kVerificationError;
      a.number = 0;
    }
  }
  if (r->isBinary()) {
    a.binaryRc = openRc;
    if (openRc == pdk::kOk) a.bytes = value;
  }
  return a;
}

// Lookups checked: the native run shows it reaches them.
unsigned long g_lookups = 0;

bool usableKey(const CCookieRecord& r) {
  auto ok = [](const std::string& t) {
    return !t.empty() && t.size() <= CCookieRecord::kMaxTextLength &&
           t.find('\0') == std::string::npos;
  };
  return r.type() == CCookieRecord::kTypeCookie && ok(r.section()) && ok(r.name());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullPort port;
  pdk::setDevicePort(&port);
  // The store's trace lines would cost more than the parsing.
  pdkos::setDebugOutputHook([](const char*) {});
  std::vector<uint8_t> in(kInputBytes, 0);
  std::memcpy(in.data(), data, size < in.size() ? size : in.size());

  PageConnection drive;
  for (size_t i = 0; i < kGiven; ++i) {
    const uint16_t n = uint16_t(CCookieImpl::kFirstPage + in[kNumbersAt + i] % CCookieImpl::kLastPage);
    std::memcpy(drive.pages[n].data(), in.data() + kPagesAt + i * CCookiePage::kSize,
                CCookiePage::kSize);
  }
  const uint16_t failing = in[kFailAt] % kPages;
  DeviceParams params = DeviceParams::forLetter('E');
  pdk::setText(params.serial, kSerial);
  CCookieImpl store(drive, params);

  if (failing >= CCookieImpl::kFirstPage) {
    // Half a store is none: every operation fails, nothing is written.
    drive.failing = failing;
    uint32_t bytes = 0;
    int value = 0;
    if (store.freeSpace(bytes) == pdk::kOk || store.getInt("S", "N", value) == pdk::kOk ||
        store.setString("S", "N", "v") == pdk::kOk || store.writeAllPages() == pdk::kOk)
      fail("an operation on a store that could not be read succeeded");
    if (!drive.written.empty()) fail("a store that could not be read was written");
    return 0;
  }

  const std::vector<CCookiePage> pages = plainPages(drive);
  uint32_t freeBytes = 0;
  size_t plainFree = 0;
  for (const CCookiePage& page : pages) plainFree += CCookiePage::kSize - page.used();
  if (store.freeSpace(freeBytes) != pdk::kOk || freeBytes != plainFree)
    fail("free space disagrees with a plain walk");

  std::vector<std::pair<std::string, std::string>> keys;
  for (const CCookiePage& page : pages)
    for (const CCookieRecord& r : page.records())
      if (keys.size() < kKeys && usableKey(r)) keys.emplace_back(r.section(), r.name());
  std::vector<Answers> before;
  for (const auto& [section, name] : keys) {
    before.push_back(ask(store, section, name));
    ++g_lookups;
    if (!(before.back() == expect(pages, section, name)))
      fail("lookup disagrees with a plain walk");
  }
  if (!drive.written.empty()) fail("a lookup wrote to the drive");

  // Written back, the pages read as the records they held (a page left
  // without any is free again) and write as the same bytes again.
  if (store.writeAllPages() != pdk::kOk) fail("pages not written back");
  if (drive.written.size() != pages.size()) fail("a page written twice, or missed");
  std::vector<const CCookiePage*> holding;
  for (const CCookiePage& page : pages)
    if (!page.records().empty()) holding.push_back(&page);
  const std::vector<CCookiePage> again = plainPages(drive);
  if (again.size() != holding.size()) fail("a page lost or kept on writing back");
  for (size_t p = 0; p < holding.size(); ++p) {
    if (again[p].number() != holding[p]->number() ||
        again[p].records().size() != holding[p]->records().size())
      fail("a page changed its records on writing back");
    uint8_t second[CCookiePage::kSize];
    again[p].serialize(second);
    if (std::memcmp(second, drive.pages[again[p].number()].data(), CCookiePage::kSize) != 0)
      fail("a page does not write back as the same bytes");
  }
  for (const CCookiePage& page : pages) {
    uint8_t first[CCookiePage::kSize];
    page.serialize(first);
    if (std::memcmp(first, drive.pages[page.number()].data(), CCookiePage::kSize) != 0)
      fail("a page written other than it reads");
  }
  for (const auto& [section, name] : keys)
    if (!(ask(store, section, name) == expect(pages, section, name)))
      fail("a lookup changed on writing back");

  // A new value is found and changes no other answer.
  const int added = store.setString("FuzzAdded", "Value", "fresh");
  if (added != pdk::kOk && added != pdk::kHiddenAreaFull && added != pdk::kHiddenDataExists)
    fail("adding a value failed oddly");
  if (added == pdk::kOk) {
    const Answers fresh = ask(store, "FuzzAdded", "Value");
    if (fresh.stringRc != pdk::kOk || fresh.text != "fresh") fail("added value not found");
  }
  auto lower = [](std::string t) {
    for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
    return t;
  };
  for (size_t k = 0; k < keys.size(); ++k) {
    if (lower(keys[k].first) == "fuzzadded" && lower(keys[k].second) == "value") continue;
    if (!(ask(store, keys[k].first, keys[k].second) == before[k]))
      fail("adding a value changed another");
  }
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

// Pages as the store writes them, with keys that meet again on other pages.
std::vector<uint8_t> seed(std::mt19937& random) {
  std::vector<uint8_t> in(kInputBytes, 0);
  in[kFailAt] = random() % 8 == 0 ? uint8_t(random()) : 0;
  for (size_t i = 0; i < kGiven; ++i) in[kNumbersAt + i] = uint8_t(random() % 5);
  for (size_t i = 0; i < kGiven; ++i) {
    CCookiePage page(uint16_t(1 + i));
    const int count = int(random() % 6);
    for (int r = 0; r < count; ++r) {
      const char* types[] = {"string", "int", "bin", "other"};
      const std::string type = types[random() % 4];
      std::string value;
      if (type == "int") {
        const char* numbers[] = {"42", "-7", " 12", "+3", "99999999999", "12x", "", "2147483647"};
        value = numbers[random() % 8];
      } else {
        value.assign(random() % 40, char('a' + random() % 26));
      }
      const std::string section = random() % 2 ? "Ovrin App" : "ovrin app";
      const std::string name = "Key" + std::to_string(random() % 4);
      CCookieRecord record;
      if (record.build(uint8_t(random() % 5 == 0 ? 1 : CCookieRecord::kTypeCookie), section, type,
                       name, random() % 6 == 0 ? "pw" : "", CCookieRecord::kCheckText,
                       reinterpret_cast<const uint8_t*>(value.data()), value.size(), cipher()))
        page.add(record);
    }
    page.serialize(in.data() + kPagesAt + i * CCookiePage::kSize);
  }
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 300);
  std::mt19937 random(20261211);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::vector<uint8_t> in = seed(random);
    const int edits = int(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t page = kPagesAt + (random() % kGiven) * CCookiePage::kSize;
      // Headers of the page and of its first records, and anywhere.
      const size_t at = random() % 2 ? page + random() % 48 : random() % in.size();
      in[at] = uint8_t(random());
    }
    driver.feed(in.data(), in.size());
  }
  const size_t stored = driver.replay();
  std::printf("cookie_store_fuzz: %lu stores, %zu stored inputs, %lu keys looked up\n",
              driver.runs(), stored, g_lookups);
  return 0;
}
#endif
