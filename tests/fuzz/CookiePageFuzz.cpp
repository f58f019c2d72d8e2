// Fuzz target of the hidden-area page parser: any 512 bytes a drive may return.
// Built with libFuzzer the entry point is driven by the fuzzer; built without
// it, main() feeds a fixed pseudo-random corpus of mutated valid pages.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "CookieCipher.h"
#include "CookiePage.h"
#include "CookieRecord.h"

namespace {

CCookieCipher& cipher() {
  static CCookieCipher c("0F3B27000042");
  return c;
}

void fail(const char* what) {
  std::fprintf(stderr, "cookie_page_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly one page, in a buffer of its own size so that ASan sees any read past it.
  std::vector<uint8_t> page(CCookiePage::kSize, 0);
  std::memcpy(page.data(), data, size < page.size() ? size : page.size());

  CCookiePage parsed(1);
  if (!parsed.parse(page.data(), cipher())) return 0;
  if (parsed.used() > CCookiePage::kSize) fail("used bytes beyond the page");

  // Whatever was kept must write back and read again as the very same page.
  std::vector<uint8_t> written(CCookiePage::kSize);
  parsed.serialize(written.data());
  CCookiePage again(1);
  if (!parsed.records().empty() && !again.parse(written.data(), cipher())) fail("rewrite lost");
  if (again.records().size() != parsed.records().size()) fail("record count changed");
  std::vector<uint8_t> rewritten(CCookiePage::kSize);
  again.serialize(rewritten.data());
  if (rewritten != written) fail("serialization not stable");

  for (const CCookieRecord& r : parsed.records()) {
    std::string check;
    std::vector<uint8_t> value;
    const auto opened = r.open("pw", cipher(), &check, &value);
    if (opened == CCookieRecord::OpenResult::kOk && r.isBinary() &&
        value.size() != r.binaryLength())
      fail("binary value of the wrong length");
  }
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

// A valid page of a few records, as the store writes them.
std::vector<uint8_t> seedPage(std::mt19937& random) {
  CCookiePage page(1);
  const int count = 1 + static_cast<int>(random() % 6);
  for (int i = 0; i < count; ++i) {
    CCookieRecord r;
    const char* types[] = {"string", "int", "bin", ""};
    const std::string type = types[random() % 4];
    const std::string value(random() % 60, static_cast<char>('a' + random() % 26));
    const std::string password = random() % 3 == 0 ? "pw" : "";
    if (r.build(static_cast<uint8_t>(1 + random() % 4), "Sec" + std::to_string(i), type,
                "Name" + std::to_string(i), password, "12P43",
                reinterpret_cast<const uint8_t*>(value.data()), value.size(), cipher())) {
      page.add(r);
    }
  }
  std::vector<uint8_t> bytes(CCookiePage::kSize);
  page.serialize(bytes.data());
  return bytes;
}

void mutate(std::vector<uint8_t>& page, std::mt19937& random) {
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int e = 0; e < edits; ++e) {
    const size_t at = random() % page.size();
    switch (random() % 6) {
      case 0:  // flip a bit
        page[at] ^= static_cast<uint8_t>(1u << (random() % 8));
        break;
      case 1:  // a random byte
        page[at] = static_cast<uint8_t>(random());
        break;
      case 2:  // lengths and counts: the first bytes of the page and of its records
        page[random() % 16] = static_cast<uint8_t>(random());
        break;
      case 3:  // NULs removed
        if (page[at] == 0) page[at] = 'x';
        break;
      case 4:  // a 16-bit length at a random place
        page[at] = static_cast<uint8_t>(random());
        if (at + 1 < page.size()) page[at + 1] = static_cast<uint8_t>(random() % 3);
        break;
      default:  // a run of bytes shifted
      {
        const size_t n = random() % 32;
        for (size_t i = at; i + 1 < page.size() && i < at + n; ++i) page[i] = page[i + 1];
        break;
      }
    }
  }
  // Keep most inputs on the parsing path.
  if (random() % 8 != 0) {
    page[0] = 1;
    page[1] = page[2] = page[3] = 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 100000);
  std::mt19937 random(20240607);
  std::vector<uint8_t> seed;
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    if (i % 64 == 0) seed = seedPage(random);
    std::vector<uint8_t> page = seed;
    mutate(page, random);
    driver.feed(page.data(), page.size());
  }
  const size_t stored = driver.replay();
  std::printf("cookie_page_fuzz: %lu pages parsed, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
