// The shell side of the program: special folders, shortcut files, the
// start-up entry, the Send-To shortcuts of a drive and a drive's icon in
// Explorer, the Explorer windows on a drive, the shell's "open" and a
// volume's free space. Every operation reports failure by its result only.
#pragma once

#include <windows.h>

#include <string>

class CWinExplorer {
 public:
  // The program's own folder kinds beside the shell's CSIDL numbers.
  static constexpr int kProgramGroup = 257;  // Start menu programs + "\Ortavel"
  static constexpr int kQuickLaunch = 4096;  // application data + Quick Launch

  // The folder of `kind` (not created); empty for a kind the program does not use.
  static std::string GetSpecialFolder(int kind);

  // Whether a file or folder of that path exists.
  static bool PathExists(const std::string& path);
  // Creates `folder` with every missing parent; true when it exists afterwards.
  static bool CreateFolderWithParents(const std::string& folder);

  // Writes GetSpecialFolder(kind) + "\" + name as a shell link to `target`.
  static bool CreateShortcut(int kind, const std::string& target, const std::string& name,
                             const std::string& description, const std::string& arguments,
                             int iconIndex);
  // Writes the shell link file `file` (a full path) to `target`.
  static bool CreateShellLink(const std::string& file, const std::string& target,
                              const std::string& description, const std::string& arguments,
                              int iconIndex);
  static bool DeleteShortcut(int kind, const std::string& name);
  // `name` carries its leading "\".
  static bool ShortcutExists(int kind, const std::string& name);

  // Registry route (2000, XP, ME) answers true; the Startup-folder shortcut of
  // 98 SE and the systems without an entry answer false.
  static bool AddStartupEntry(const std::string& programPath);
  static bool RemoveStartupEntry();

  static bool SetDriveIcon(char letter, const std::string& file, unsigned index);

  static bool CreateSendToShortcut(char letter);
  static bool DeleteSendToShortcut(char letter);
  // The Send-To shortcut's file name of `letter`.
  static std::string SendToShortcutName(char letter);

  // Makes every Explorer window on drive `letter` leave it, so the volume is
  // free; waits 500 ms for them and answers true.
  static bool CloseExplorerWindows(char letter);
  // The same for each root of a list such as "E:\\", NUL, "F:\\", NUL, NUL.
  static void CloseExplorerWindowsOfRoots(const char* roots);
  // Through the shell's window collection: the first window on the drive is
  // sent to My Computer (closed on 98 SE), the others closed. False when the
  // system offers no collection, or one that cannot count its windows.
  static bool CloseShellWindows(char letter);
  // Without the collection: closes every top-level Explorer or browser
  // window whose title names the letter.
  static void CloseExplorerWindowsByTitle(char letter);

  // The shell's "open" of a program, folder, root or web address, started in
  // the path's folder; true when the shell accepted it.
  static bool Open(const std::string& path, const std::string& parameters);
  // Open of the text of string `stringId`; false for id 0.
  static bool OpenStringResource(UINT stringId);

  struct ShortcutInfo {
    std::string target;  // as stored, not made to fit this system
    std::string arguments;
    std::string description;
    std::string iconLocation;
    int iconIndex = 0;
  };
  // Reads the shell link `path` (".lnk" added when the path lacks it).
  static bool ResolveShortcut(const std::string& path, ShortcutInfo& info);

  // SHFileOperationA of one file, `to` empty for none; `flags` are FOF_ flags.
  // False when the shell failed or aborted.
  static bool FileOperation(UINT function, const std::string& from, const std::string& to,
                            WORD flags);

  // The system's text of an error code, in the user's language.
  static std::string SystemMessage(DWORD code);

  // Free and total bytes of the volume of `root`; a value that cannot be
  // read has the high part 0xFFFFFFFF. False when the volume cannot tell.
  static bool GetDiskSpace(const std::string& root, ULARGE_INTEGER& freeBytes,
                           ULARGE_INTEGER& totalBytes);
};
