#include "AppOperations.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "WinExplorer.h"

namespace {

const char kSection[] = "Launcher";

enum class Action { kOpen, kIcon, kNone };

const struct {
  const char* key;
  Action action;
} kKeys[] = {
    {"open", Action::kOpen},        {"icon", Action::kIcon},
    {"defaulticon", Action::kIcon}, {"shell", Action::kNone},
    {"shell\\verb", Action::kNone}, {"shell\\verb\\command", Action::kNone},
};

}  // namespace

CAutorun::CAutorun(std::string root) : m_root(std::move(root)), m_file(m_root + "Autorun.inf") {}

std::string CAutorun::ReadLine(const char* key) const {
  // Read with room to spare, so a value that does not fit the buffer shows
  // as longer than it, however the system counts a cut value.
  std::vector<char> buffer(4 * kValueBufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(kSection, key, "", buffer.data(),
                                                static_cast<DWORD>(buffer.size()), m_file.c_str());
  if (length >= kValueBufferSize) {
    OutputDebugStringA("CAutorun::ReadLine - worning value larger then buffer.\n");
    return std::string(buffer.data(), kValueBufferSize - 1);
  }
  return std::string(buffer.data(), length);
}

bool CAutorun::Run() const {
  if (!CWinExplorer::PathExists(m_file)) return false;
  for (const auto& entry : kKeys) {
    const std::string value = ReadLine(entry.key);
    if (value.empty()) continue;
    if (entry.action == Action::kOpen) Open(value);
    if (entry.action == Action::kIcon) SetIcon(value);
  }
  return true;
}

void CAutorun::Open(const std::string& value) const {
  const auto bar = value.find('|');
  if (bar != std::string::npos) {
    CWinExplorer::Open(value.substr(0, bar), value.substr(bar + 1));
    return;
  }
  const std::string onDrive = m_root + value;
  CWinExplorer::Open(CWinExplorer::PathExists(onDrive) ? onDrive : value, std::string());
}

void CAutorun::SplitIconValue(const std::string& value, std::string& file, unsigned& index) {
  const auto comma = value.find(',');
  if (comma == std::string::npos || comma == 0) {
    file = value;
    index = 0;
    return;
  }
  file = value.substr(0, comma);
  index = static_cast<unsigned>(std::strtol(value.c_str() + comma + 1, nullptr, 10));
}

void CAutorun::SetIcon(const std::string& value) const {
  std::string file;
  unsigned index = 0;
  SplitIconValue(value, file, index);
  if (file.size() < 2 || file[1] != ':') file = m_root + file;
  CWinExplorer::SetDriveIcon(m_root[0], file, index);
}
