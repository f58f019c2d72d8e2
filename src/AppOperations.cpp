#include "AppOperations.h"

#include <windows.h>

#include "AppSettings.h"
#include "AutorunText.h"
#include "WinExplorer.h"

namespace {

const char kSection[] = "Launcher";

}  // namespace

CAutorun::CAutorun(std::string root) : m_root(std::move(root)), m_file(m_root + "Autorun.inf") {}

std::string CAutorun::ReadLine(const char* key) const {
  return CAppSettings::ReadProfileValue(m_file, kSection, key, CAutorunText::kValueBufferSize,
                                        "CAutorun::ReadLine - worning value larger then buffer.\n");
}

bool CAutorun::Run() const {
  if (!CWinExplorer::PathExists(m_file)) return false;
  for (const CAutorunText::Key& key : CAutorunText::kKeys) {
    const std::string value = ReadLine(key.name);
    if (value.empty()) continue;
    if (key.action == CAutorunText::Action::kOpen) Open(value);
    if (key.action == CAutorunText::Action::kIcon) SetIcon(value);
  }
  return true;
}

void CAutorun::Open(const std::string& value) const {
  const CAutorunText::Launch launch = CAutorunText::ParseOpen(m_root, value);
  const bool onDrive = !launch.onDrive.empty() && CWinExplorer::PathExists(launch.onDrive);
  CWinExplorer::Open(onDrive ? launch.onDrive : launch.asWritten, launch.parameters);
}

void CAutorun::SetIcon(const std::string& value) const {
  const CAutorunText::Icon icon = CAutorunText::ParseIcon(m_root, value);
  CWinExplorer::SetDriveIcon(m_root[0], icon.file, icon.index);
}
