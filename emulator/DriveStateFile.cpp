#include "DriveStateFile.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "HostFile.h"
#include "SectorStore.h"

namespace emu {

namespace {

// CRC-32 (reflected, polynomial 0xEDB88320): tells a damaged file from a good one.
uint32_t crc32(const std::string& text) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : text) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string hex(const uint8_t* bytes, size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

class Reader {
 public:
  Reader(std::string path, std::map<std::string, std::string> values)
      : m_path(std::move(path)), m_values(std::move(values)) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("state file " + m_path + ": " + what);
  }
  const std::string& text(const std::string& key) const {
    const auto it = m_values.find(key);
    if (it == m_values.end()) fail("missing \"" + key + "\"");
    return it->second;
  }
  uint32_t number(const std::string& key) const {
    const std::string& t = text(key);
    if (t.empty() || t.size() > 10 || t.find_first_not_of("0123456789") != std::string::npos) {
      fail("\"" + key + "\" is not a number");
    }
    const unsigned long long v = std::stoull(t);
    if (v > 0xFFFFFFFFull) fail("\"" + key + "\" is out of range");
    return static_cast<uint32_t>(v);
  }
  bool flag(const std::string& key) const {
    const std::string& t = text(key);
    if (t != "0" && t != "1") fail("\"" + key + "\" is not 0 or 1");
    return t == "1";
  }
  void bytes(const std::string& key, uint8_t* out, size_t length) const {
    const std::string& t = text(key);
    if (t.size() != length * 2) fail("\"" + key + "\" has the wrong length");
    for (size_t i = 0; i < length; ++i) {
      int value = 0;
      for (int k = 0; k < 2; ++k) {
        const char c = t[i * 2 + k];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) fail("\"" + key + "\" is not hexadecimal");
        value = value * 16 + digit;
      }
      out[i] = static_cast<uint8_t>(value);
    }
  }

 private:
  std::string m_path;
  std::map<std::string, std::string> m_values;
};

std::string pageKey(uint32_t page) { return "hidden" + std::to_string(page); }

}  // namespace

void CDriveStateFile::save(const std::string& path, const SavedDrive& saved) {
  const DriveConfig& c = saved.config;
  const DriveState& s = saved.state;
  for (const std::string* t :
       {&c.vendor, &c.product, &c.revision, &c.serial, &c.identifierText, &saved.imagePath}) {
    if (t->find_first_of("\r\n") != std::string::npos) {
      throw std::runtime_error("state file " + path + ": a text holds a line break");
    }
  }
  if (s.hiddenArea.size() != CHiddenArea::kPageCount * CHiddenArea::kPageSize) {
    throw std::runtime_error("state file " + path + ": the hidden area is incomplete");
  }
  std::ostringstream body;
  body << kHeader << "\n"
       << "vendor=" << c.vendor << "\n"
       << "product=" << c.product << "\n"
       << "revision=" << c.revision << "\n"
       << "serial=" << c.serial << "\n"
       << "identifier=" << c.identifierText << "\n"
       << "removable=" << (c.removable ? 1 : 0) << "\n"
       << "ucl=" << (c.ucl ? 1 : 0) << "\n"
       << "sectors=" << c.sectorCount << "\n"
       << "allocationUnit=" << c.allocationUnitSectors << "\n"
       << "unitFactorA=" << c.unitFactorA << "\n"
       << "unitFactorB=" << c.unitFactorB << "\n"
       << "notReadyAfterSwitch=" << c.notReadyCommandsAfterSwitch << "\n"
       << "image=" << saved.imagePath << "\n"
       << "configBlock=" << hex(s.configBlock.data(), s.configBlock.size()) << "\n"
       << "password=" << hex(s.password.data(), s.password.size()) << "\n"
       << "safeUnits=" << s.safeUnits << "\n"
       << "dummyUnits=" << s.dummyUnits << "\n"
       << "safePresented=" << (s.safePresented ? 1 : 0) << "\n"
       << "lunMode=" << s.lunMode << "\n";
  for (uint32_t page = 0; page < CHiddenArea::kPageCount; ++page) {
    body << pageKey(page) << "="
         << hex(s.hiddenArea.data() + page * CHiddenArea::kPageSize, CHiddenArea::kPageSize)
         << "\n";
  }
  const std::string text = body.str();
  char end[32];
  std::snprintf(end, sizeof(end), "end=%08x\n", crc32(text));

  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text << end;
    out.flush();
    if (!out) throw std::runtime_error("state file " + path + ": cannot write " + temporary);
  }
  if (!hostfile::replace(temporary, path)) {
    hostfile::remove(temporary);
    throw std::runtime_error("state file " + path + ": cannot replace it");
  }
}

SavedDrive CDriveStateFile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("state file " + path + ": cannot be opened");
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Reader failure(path, {});

  // The last line seals everything before it.
  const size_t endAt = content.rfind("end=");
  if (endAt == std::string::npos || (endAt > 0 && content[endAt - 1] != '\n') ||
      content.size() != endAt + 13 || content.back() != '\n') {
    failure.fail("truncated (no closing line)");
  }
  const std::string body = content.substr(0, endAt);
  char expected[16];
  std::snprintf(expected, sizeof(expected), "%08x", crc32(body));
  if (content.compare(endAt + 4, 8, expected) != 0) failure.fail("damaged (checksum mismatch)");

  std::istringstream lines(body);
  std::string line;
  if (!std::getline(lines, line) || line != kHeader) failure.fail("not a drive state file");
  std::map<std::string, std::string> values;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) failure.fail("a line without \"=\"");
    if (!values.emplace(line.substr(0, eq), line.substr(eq + 1)).second) {
      failure.fail("\"" + line.substr(0, eq) + "\" appears twice");
    }
  }
  const Reader r(path, values);

  SavedDrive saved;
  DriveConfig& c = saved.config;
  c.vendor = r.text("vendor");
  c.product = r.text("product");
  c.revision = r.text("revision");
  c.serial = r.text("serial");
  c.identifierText = r.text("identifier");
  c.removable = r.flag("removable");
  c.ucl = r.flag("ucl");
  c.sectorCount = r.number("sectors");
  c.allocationUnitSectors = r.number("allocationUnit");
  c.unitFactorA = r.number("unitFactorA");
  c.unitFactorB = r.number("unitFactorB");
  c.notReadyCommandsAfterSwitch = r.number("notReadyAfterSwitch");
  saved.imagePath = r.text("image");
  DriveState& s = saved.state;
  r.bytes("configBlock", s.configBlock.data(), s.configBlock.size());
  r.bytes("password", s.password.data(), s.password.size());
  s.safeUnits = r.number("safeUnits");
  s.dummyUnits = r.number("dummyUnits");
  s.safePresented = r.flag("safePresented");
  s.lunMode = r.number("lunMode");
  s.hiddenArea.resize(CHiddenArea::kPageCount * CHiddenArea::kPageSize);
  for (uint32_t page = 0; page < CHiddenArea::kPageCount; ++page) {
    r.bytes(pageKey(page), s.hiddenArea.data() + page * CHiddenArea::kPageSize,
            CHiddenArea::kPageSize);
  }
  const size_t known = 19 + CHiddenArea::kPageCount;
  if (values.size() != known) r.fail("unknown entries");
  return saved;
}

std::unique_ptr<CEmulatedDrive> CDriveStateFile::openDrive(const std::string& path) {
  const SavedDrive saved = load(path);
  try {
    auto drive = std::make_unique<CEmulatedDrive>(
        saved.config, CSectorStore::openImage(saved.imagePath, saved.config.sectorCount, false));
    drive->restore(saved.state);
    return drive;
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error("state file " + path + ": " + e.what());
  }
}

void CDriveStateFile::saveDrive(const std::string& path, const CEmulatedDrive& drive,
                                const std::string& imagePath) {
  save(path, SavedDrive{drive.config(), drive.state(), imagePath});
}

}  // namespace emu
