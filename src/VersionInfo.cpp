#include "VersionInfo.h"

#include <windows.h>

#include <cstdio>
#include <new>
#include <vector>

namespace {
// A text of block "040904b0"; empty when missing or not a string.
std::string Text(const std::vector<char>& data, const char* name) {
  char path[96];
  std::snprintf(path, sizeof(path), "\\StringFileInfo\\%04x%04x\\%s", 1033u, 1200u, name);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), path, &value, &length) || value == nullptr || length == 0) {
    return std::string();
  }
  const char* text = static_cast<const char*>(value);
  size_t n = 0;
  while (n < length && n < CVersionInfo::kTextLimit && text[n] != '\0') ++n;
  return std::string(text, n);
}
}  // namespace

bool CVersionInfo::Read(const std::string& path, Record& record) {
  if (path.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return false;
  std::vector<char> data;
  try {
    data.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return false;
  void* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", &fixed, &length) || fixed == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  record.file[0] = HIWORD(info->dwFileVersionMS);
  record.file[1] = LOWORD(info->dwFileVersionMS);
  record.file[2] = HIWORD(info->dwFileVersionLS);
  record.file[3] = LOWORD(info->dwFileVersionLS);
  record.product[0] = HIWORD(info->dwProductVersionMS);
  record.product[1] = LOWORD(info->dwProductVersionMS);
  record.product[2] = HIWORD(info->dwProductVersionLS);
  record.product[3] = LOWORD(info->dwProductVersionLS);
  record.fileVersion = Text(data, "FileVersion");
  record.productVersion = Text(data, "ProductVersion");
  record.companyName = Text(data, "CompanyName");
  record.originalFilename = Text(data, "OriginalFilename");
  record.productName = Text(data, "ProductName");
  return true;
}

std::string CVersionInfo::VersionText(const std::string& path) {
  Record record;
  if (!Read(path, record)) return std::string();
  char text[32];
  std::snprintf(text, sizeof(text), "%d.%d.%d.%d", record.product[0], record.product[1],
                record.product[2], record.product[3]);
  return text;
}

bool CVersionInfo::PackedProductVersion(const std::string& path, uint32_t& high, uint32_t& low) {
  Record record;
  if (!Read(path, record)) return false;
  high = (uint32_t(record.product[0]) << 16) | record.product[1];
  low = (uint32_t(record.product[2]) << 16) | record.product[3];
  return true;
}

std::string CVersionInfo::ProgramPath() {
  char path[MAX_PATH] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  return std::string(path, n < sizeof(path) ? n : 0);
}
