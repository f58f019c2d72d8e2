// The application's handle on one Tovik Drive: its letters and root, write
// protection, eject and privacy state in the form the views use, and the
// personal icon, sound and label the drive keeps for itself (cookies in its
// hidden area and files in "My Profile\Device Settings").
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "sdk/PDKSDK.h"

class CToolsList;

class CPDKProxy {
 public:
  // The folders of a drive's personal tree, below its root.
  enum FolderKind {
    kProfileFolder = 1,
    kDeviceSettingsFolder = 2,
    kStartMenuFolder = 3,
    kProgramFilesFolder = 4,
    kPersonalFolder = 5,
    kDocumentsFolder = 6,
    kFavoritesFolder = 7,
  };
  // What a personal setting query answers.
  static constexpr int kPersonalSet = 3;
  static constexpr int kPersonalUnset = 1;
  static constexpr UINT kFirstToolCommand = 1240;

  CPDKProxy();
  ~CPDKProxy();
  CPDKProxy(const CPDKProxy&) = delete;
  CPDKProxy& operator=(const CPDKProxy&) = delete;

  // Attaches to the drive of the params the SDK reported; true when the SDK
  // took the handle. A failed attach leaves the proxy empty.
  bool Attach(const DeviceParams* device);
  void Detach();
  // Attached to the drive `other` is attached to, or empty when it is empty.
  void CopyFrom(const CPDKProxy& other);

  int GetId() const { return m_id; }
  bool IsValid() const { return m_id != -1; }
  // Upper-case letters of the drive, alphabetical: "EF" for E and F.
  std::string Letters() const;
  int LetterCount() const;
  // "E:\,F:\"
  std::string LettersText() const;
  // "E:\"; empty without letters.
  std::string RootPath() const;
  DeviceParams DeviceInfo() const;
  // The SDK handle the dialogs work on (login, logout, write protection).
  CPDK* Device() { return &m_pdk; }
  // Bytes, -1 when the SDK cannot tell.
  int Capacity();
  // Whether the volume of `letter` shows the public partition.
  bool ShowsPublicPartition(char letter);

  bool IsWriteProtectSupported();
  bool IsWriteProtected();
  bool SetWriteProtect(bool on);
  bool Eject();

  bool IsPrivacySupported();
  bool IsLoggedIn();
  bool HasPrivacyZone();

  // The personal tree's folder of `kind` below the root ("E:\My Profile\...").
  std::string FolderPath(FolderKind kind) const;
  std::string PersonalIconPath() const;
  std::string PersonalSoundPath() const;

  // kPersonalSet with the icon (the caller destroys it) and the stored list
  // position; kPersonalUnset and no icon when the drive has no icon file.
  int GetPersonalIcon(HICON& icon, int& index);
  // kPersonalSet with the file and the stored list position; kPersonalUnset
  // and an empty path when the drive has no sound file.
  int GetPersonalSound(std::string& path, int& index);
  int GetLabel(std::string& text);
  // An empty text removes the label. True when the store took it.
  bool SetLabel(const std::string& text);
  // The program's icon (or WAVE) resource `resourceId` written to the drive,
  // or, for resource 0, a copy of `sourcePath`; the list position stored with
  // it. True when the file is on the drive and the position stored.
  bool SetPersonalIcon(const std::string& sourcePath, UINT resourceId, int index);
  bool SetPersonalSound(const std::string& sourcePath, UINT resourceId, int index);
  bool HasPersonalFolders() const;

  // A fresh scan of the drive's "Start Menu"; null when it could not be made.
  CToolsList* GetToolsList();
  // Opens the tool of the last scan's command id; false when there is none.
  bool RunTool(UINT commandId);
  // Carries out the drive's "Autorun.inf"; false when the drive has none.
  bool RunAutorun();

 private:
  // Makes "My Profile" and "Device Settings" when they are missing.
  bool EnsureDeviceSettingsFolder() const;
  bool StorePersonalFile(const std::string& file, const std::string& sourcePath, UINT resourceId,
                         bool isIcon, const char* indexKey, int index);
  int ReadIndex(const char* key);

  int m_id = -1;
  std::unique_ptr<CToolsList> m_tools;
  CPDK m_pdk;
};
