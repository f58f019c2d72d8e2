// The user's preferences in "Tovik.ini" in the install folder, read fresh at
// each use, and the self-copy of the program into that folder.
#pragma once

#include <string>

class CAppSettings {
 public:
  static constexpr size_t kReadBufferSize = 1024;

  // The first settings object of the process fixes the file path to the
  // current directory when nothing has set it yet.
  CAppSettings();

  // The key's text as a base-10 number; absent keys and non-numbers give 0.
  int ReadSetting(const std::string& key) const;
  std::string ReadSettingString(const std::string& key) const;
  void WriteSetting(const std::string& key, long value) const;
  void WriteSettingString(const std::string& key, const std::string& text) const;
  // A value of any profile file as a reader with a buffer of `bufferSize`
  // bytes keeps it; a cut value is told to the debugger with `cutWarning`.
  static std::string ReadProfileValue(const std::string& file, const char* section,
                                      const char* key, size_t bufferSize,
                                      const char* cutWarning);

  static std::string SettingsPath();
  static void SetSettingsPath(const std::string& path);
  static bool SettingsFileExists();
  // The section: the program file's name without its extension.
  static std::string SectionName();

  // The application-data folder + "\Tovik" (the temporary folder when the
  // system has no application-data folder).
  static std::string InstallFolder();
  // The program file in use after CopyApplication.
  static std::string RunningProgramPath();
  // 1: started from the install folder; 2: copied there; -1: the copy failed.
  static int CopyApplication(const std::string& programPath);
};
