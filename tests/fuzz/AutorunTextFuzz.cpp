// Fuzz target of the values of a drive's "Autorun.inf": whatever text the
// profile reader hands over, the kept value is the part the read buffer
// holds, and the program and parameters of "open" and the file and index of
// "icon" agree with a plain walk of the value and put it back together
// byte for byte. Built with libFuzzer the entry point is driven by the
// fuzzer; built without it, main() feeds a fixed pseudo-random corpus of
// mutated values.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "AutorunText.h"
#include "PlainDecimal.h"
#include "ProfileText.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "autorun_text_fuzz: %s\n", what);
  std::abort();
}

constexpr size_t kBuffer = CAutorunText::kValueBufferSize;

void checkOpen(const std::string& root, const std::string& value) {
  const CAutorunText::Launch launch = CAutorunText::ParseOpen(root, value);
  size_t bar = 0;
  while (bar < value.size() && value[bar] != '|') ++bar;
  if (bar < value.size()) {
    if (!launch.onDrive.empty()) fail("a program before a bar looked for on the drive");
    if (launch.asWritten.find('|') != std::string::npos) fail("program holds a bar");
    if (launch.asWritten + "|" + launch.parameters != value) fail("open does not re-encode");
  } else {
    if (launch.onDrive != root + value || launch.asWritten != value || !launch.parameters.empty())
      fail("bare program disagrees with the value");
  }
}

void checkIcon(const std::string& root, const std::string& value) {
  const CAutorunText::Icon icon = CAutorunText::ParseIcon(root, value);
  size_t comma = 0;
  while (comma < value.size() && value[comma] != ',') ++comma;
  const bool separated = comma > 0 && comma < value.size();
  const std::string file = separated ? value.substr(0, comma) : value;
  const bool absolute = file.size() >= 2 && file[1] == ':';
  if (icon.file != (absolute ? file : root + file)) fail("icon file disagrees with a plain walk");
  const std::string tail = separated ? value.substr(comma + 1) : std::string();
  if (icon.index != (separated ? static_cast<unsigned>(plainDecimal(tail)) : 0u))
    fail("icon index disagrees with a plain walk");
  // The file part as written, and what followed it, give the value back.
  const std::string written = absolute ? icon.file : icon.file.substr(root.size());
  if (written + (separated ? "," + tail : std::string()) != value)
    fail("icon does not re-encode");
}

}  // namespace

// Input: a byte choosing the drive letter of the root, then the text the
// reader returned (as many bytes as its larger buffer holds).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string root = std::string(1, char('A' + data[0] % 26)) + ":\\";
  const std::string read(reinterpret_cast<const char*>(data + 1), size - 1);

  bool cut = false;
  const std::string value = CProfileText::Fit(read, kBuffer, cut);
  if (cut != (read.size() >= kBuffer)) fail("cut told wrongly");
  if (value.size() >= kBuffer || read.compare(0, value.size(), value) != 0)
    fail("kept value is not the part the buffer holds");
  checkOpen(root, value);
  checkIcon(root, value);
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

std::string seed(std::mt19937& random) {
  const char* files[] = {"tool.exe", "bin\\tool.exe", "C:\\tools\\t.exe", "icon.ico",
                         "d:", ",5", "", "x"};
  const char* tails[] = {"", "|", "|-a b", ",3", ",-1", ",99999999999", ", 7x", ",,2"};
  std::string s(1, char(random() % 26));
  s += files[random() % 8];
  s += tails[random() % 8];
  if (random() % 16 == 0) s += std::string(kBuffer - 8 + random() % 16, 'n');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 50000);
  std::mt19937 random(20261211);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::string input = seed(random);
    const int edits = int(random() % 3);
    for (int e = 0; e < edits && input.size() > 1; ++e) {
      const char special[] = {'|', ',', ':', '\\', '-', '0', ' ', char(0x80)};
      input[1 + random() % (input.size() - 1)] = random() % 2 ? special[random() % 8] : char(random());
    }
    driver.feed(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  const size_t stored = driver.replay();
  std::printf("autorun_text_fuzz: %lu values, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
