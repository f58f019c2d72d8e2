#include "PDKProxy.h"

#include <shellapi.h>

#include <vector>

#include "AppOperations.h"
#include "GUI/Application.h"
#include "PersonalFolders.h"
#include "ResourceFile.h"
#include "ToolsList.h"
#include "WinExplorer.h"

namespace {

const char kCookieSection[] = "Ovrin App";
const char kIconIndexKey[] = "IconIndex";
const char kSoundIndexKey[] = "SoundIndex";
const char kLabelKey[] = "LabelStr";
constexpr uint32_t kLabelBufferSize = 1024;

constexpr DWORD kPersonalFileAttributes =
    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

// No confirmation, undo allowed, no error window: the drive's files are
// replaced behind the user's back, never with a question.
constexpr FILEOP_FLAGS kQuietFileOperation = FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;

bool QuietFileOperation(UINT function, const std::string& from, const std::string& to) {
  return CWinExplorer::FileOperation(function, from, to, kQuietFileOperation);
}

}  // namespace

CPDKProxy::CPDKProxy() = default;

CPDKProxy::~CPDKProxy() = default;

bool CPDKProxy::Attach(const DeviceParams* device) {
  if (device == nullptr) return false;
  try {
    Detach();
    if (device->id < 0) return false;
    if (!m_pdk.attachDevice(*device)) return false;
    m_id = device->id;
    return true;
  } catch (...) {
    Detach();
    return false;
  }
}

void CPDKProxy::Detach() {
  m_pdk.detachDevice();
  m_id = -1;
}

void CPDKProxy::CopyFrom(const CPDKProxy& other) {
  if (other.IsValid()) {
    const DeviceParams params = other.DeviceInfo();
    Attach(&params);
  } else {
    Detach();
  }
}

std::string CPDKProxy::Letters() const {
  std::string letters;
  const uint32_t mask = IsValid() ? m_pdk.params().driveMask : 0;
  for (int bit = 0; bit < 26; ++bit) {
    if ((mask >> bit) & 1u) letters += static_cast<char>('A' + bit);
  }
  return letters;
}

int CPDKProxy::LetterCount() const { return static_cast<int>(Letters().size()); }

std::string CPDKProxy::LettersText() const {
  std::string text;
  for (char letter : Letters()) {
    if (!text.empty()) text += ',';
    text += std::string(1, letter) + ":\\";
  }
  return text;
}

std::string CPDKProxy::RootPath() const {
  const std::string letters = Letters();
  return letters.empty() ? std::string() : std::string(1, letters[0]) + ":\\";
}

DeviceParams CPDKProxy::DeviceInfo() const { return m_pdk.params(); }

int CPDKProxy::Capacity() {
  int32_t bytes = -1;
  return m_pdk.getCapacity(bytes) == pdk::kOk ? bytes : -1;
}

bool CPDKProxy::ShowsPublicPartition(char letter) {
  int state = -1;
  return m_pdk.getVisiblePartition(letter, state) == pdk::kOk && state == 0;
}

bool CPDKProxy::IsWriteProtectSupported() {
  int state = 0;
  return m_pdk.isWriteProtected(state) != pdk::kNotSupported;
}

bool CPDKProxy::IsWriteProtected() {
  int state = 0;
  return m_pdk.isWriteProtected(state) == pdk::kOk && state != 0;
}

bool CPDKProxy::SetWriteProtect(bool on) {
  return IsWriteProtectSupported() && m_pdk.updateWriteProtected(on, nullptr, 0) == pdk::kOk;
}

bool CPDKProxy::Eject() {
  int state = 0;
  return m_pdk.ejectDevice(state) == pdk::kOk && state == 1;
}

bool CPDKProxy::IsPrivacySupported() {
  bool supported = false;
  return m_pdk.deposit().isDepositSupported(supported) == pdk::kOk && supported;
}

bool CPDKProxy::IsLoggedIn() {
  bool inSafe = false;
  return IsPrivacySupported() && m_pdk.deposit().isInSafePartition(inSafe) == pdk::kOk && inSafe;
}

bool CPDKProxy::HasPrivacyZone() {
  bool exists = false;
  return IsPrivacySupported() && m_pdk.deposit().safePartitionExist(exists) == pdk::kOk && exists;
}

std::string CPDKProxy::FolderPath(FolderKind kind) const {
  static const char* const kBelowProfile[] = {
      "",
      "\\Device Settings",
      "\\Start Menu",
      "\\Program Files",
      "\\My Tovik USB Drive",
      "\\Tovik USB Drive Documents",
      "\\Tovik USB Drive Favorites",
  };
  return RootPath() + "My Profile" + kBelowProfile[kind - kProfileFolder];
}

std::string CPDKProxy::PersonalIconPath() const {
  return FolderPath(kDeviceSettingsFolder) + "\\Icon.ico";
}

std::string CPDKProxy::PersonalSoundPath() const {
  return FolderPath(kDeviceSettingsFolder) + "\\Sound.wav";
}

int CPDKProxy::ReadIndex(const char* key) {
  int index = 0;
  if (m_pdk.cookies().getInt(kCookieSection, key, index) != pdk::kOk) index = 0;
  return index;
}

int CPDKProxy::GetPersonalIcon(HICON& icon, int& index) {
  icon = nullptr;
  const std::string file = PersonalIconPath();
  if (!IsValid() || !CWinExplorer::PathExists(file)) return kPersonalUnset;
  icon = static_cast<HICON>(LoadImageA(nullptr, file.c_str(), IMAGE_ICON, 0, 0,
                                       LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_CREATEDIBSECTION));
  index = ReadIndex(kIconIndexKey);
  return kPersonalSet;
}

int CPDKProxy::GetPersonalSound(std::string& path, int& index) {
  path.clear();
  const std::string file = PersonalSoundPath();
  if (!IsValid() || !CWinExplorer::PathExists(file)) return kPersonalUnset;
  path = file;
  index = ReadIndex(kSoundIndexKey);
  return kPersonalSet;
}

int CPDKProxy::GetLabel(std::string& text) {
  text.clear();
  try {
    char buffer[kLabelBufferSize + 1] = "";
    uint32_t size = kLabelBufferSize;
    if (m_pdk.cookies().getString(kCookieSection, kLabelKey, buffer, size) == pdk::kOk)
      text = buffer;
  } catch (...) {
    text.clear();
    return kPersonalUnset;
  }
  return text.empty() ? kPersonalUnset : kPersonalSet;
}

bool CPDKProxy::SetLabel(const std::string& text) {
  if (text.empty()) return m_pdk.cookies().delCookie(kCookieSection, kLabelKey) == pdk::kOk;
  return m_pdk.cookies().setString(kCookieSection, kLabelKey, text.c_str()) == pdk::kOk;
}

bool CPDKProxy::EnsureDeviceSettingsFolder() const {
  const std::string folder = FolderPath(kDeviceSettingsFolder);
  if (CWinExplorer::PathExists(folder)) return true;
  CPersonalFolders::CustomiseFolder(FolderPath(kProfileFolder));
  CPersonalFolders::CustomiseFolder(folder);
  return CWinExplorer::PathExists(folder);
}

bool CPDKProxy::StorePersonalFile(const std::string& file, const std::string& sourcePath,
                                  UINT resourceId, bool isIcon, const char* indexKey, int index) {
  if (!IsValid() || !EnsureDeviceSettingsFolder()) return false;
  if (CWinExplorer::PathExists(file)) {
    // A read-only file would survive its deletion on some systems.
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    QuietFileOperation(FO_DELETE, file, std::string());
  }
  bool written = false;
  const DWORD attributes = isIcon ? kPersonalFileAttributes : FILE_ATTRIBUTE_NORMAL;
  if (resourceId != 0) {
    const HMODULE module = CApplication::ResourceHandle();
    if (isIcon) {
      std::vector<BYTE> bytes;
      written = CResourceFile::IconFileBytes(module, resourceId, bytes) &&
                CResourceFile::Write(file, bytes.data(), static_cast<DWORD>(bytes.size()), attributes);
    } else {
      const BYTE* data = nullptr;
      DWORD size = 0;
      written = CResourceFile::Bytes(module, MAKEINTRESOURCEA(resourceId), "WAVE", data, size) &&
                CResourceFile::Write(file, data, size, attributes);
    }
  } else if (!sourcePath.empty()) {
    written = QuietFileOperation(FO_COPY, sourcePath, file) && CWinExplorer::PathExists(file);
    if (written && isIcon) SetFileAttributesA(file.c_str(), attributes);
  }
  return written && m_pdk.cookies().setInt(kCookieSection, indexKey, index) == pdk::kOk;
}

bool CPDKProxy::SetPersonalIcon(const std::string& sourcePath, UINT resourceId, int index) {
  return StorePersonalFile(PersonalIconPath(), sourcePath, resourceId, true, kIconIndexKey, index);
}

bool CPDKProxy::SetPersonalSound(const std::string& sourcePath, UINT resourceId, int index) {
  return StorePersonalFile(PersonalSoundPath(), sourcePath, resourceId, false, kSoundIndexKey,
                           index);
}

bool CPDKProxy::HasPersonalFolders() const {
  return IsValid() && CWinExplorer::PathExists(FolderPath(kPersonalFolder));
}

CToolsList* CPDKProxy::GetToolsList() {
  m_tools.reset();
  const std::string letters = Letters();
  if (letters.empty()) return nullptr;
  try {
    auto tools = std::make_unique<CToolsList>();
    tools->Scan(letters[0], FolderPath(kStartMenuFolder), kFirstToolCommand, true);
    m_tools = std::move(tools);
  } catch (...) {
    return nullptr;
  }
  return m_tools.get();
}

bool CPDKProxy::RunTool(UINT commandId) {
  std::string path, parameters;
  if (m_tools == nullptr || !m_tools->Resolve(commandId, path, parameters)) return false;
  return CWinExplorer::Open(path, parameters);
}

bool CPDKProxy::RunAutorun() {
  const std::string root = RootPath();
  if (root.empty()) return false;
  return CAutorun(root).Run();
}
