// Drive letters of the Wine prefix the program runs in: a letter is a link in
// the prefix's "dosdevices" folder to a folder of the host, so whatever the
// program and Explorer write on the letter lands in that folder. The links
// are made by the host's own ln and rm, which Wine starts like any program,
// and seen in place through the letter itself.
#pragma once

#include <string>

class CWineDriveLetters {
 public:
  // Whether the program runs under Wine, the only place letters can be made.
  static bool Available();
  // Makes `letter` show `folder` (a Windows path; made when missing), or
  // moves it there when it showed another folder.
  static bool Link(char letter, const std::string& folder);
  // The letter is gone again.
  static bool Unlink(char letter);

  // The host path of a Windows path, empty when Wine does not know it.
  static std::string HostPath(const std::string& path);
  // Runs `script` in the host's shell and waits for it to end, which it tells
  // by a status file it leaves in `folder` (a Windows path). Its exit code;
  // -1 when it could not be started or did not end within kScriptWaitMs.
  static int RunHostScript(const std::string& script, const std::string& folder);
  // `text` as one word of the host's shell.
  static std::string ShellWord(const std::string& text);

 private:
  static std::string LinkPath(char letter);
  // Starts a host program; it runs on by itself.
  static bool RunHost(const std::string& commandLine);
  static bool Exists(char letter);
  // Waits until the letter is there (or gone); false after kWaitMs.
  static bool WaitFor(char letter, bool present);

  static constexpr unsigned long kWaitMs = 5000;
  // Copying a partition's files may take a while.
  static constexpr unsigned long kScriptWaitMs = 60000;
};
