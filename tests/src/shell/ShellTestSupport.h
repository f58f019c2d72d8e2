// Shared pieces of the shell tests: the Windows kind the run was started
// for, scratch folders, file reading and the record of what the checks
// after the run (lnkinfo, reg query) must find.
#pragma once

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace shelltest {

// Debugger output lines while the capture lives: the system raises them as
// an exception first, which a vectored handler can read. Lines of other
// threads land here too; read them only once those threads are quiet.
class DebugOutputCapture {
 public:
  DebugOutputCapture() {
    Locked([](std::vector<std::string>& lines) { lines.clear(); });
    handler_ = AddVectoredExceptionHandler(1, &DebugOutputCapture::Handler);
  }
  ~DebugOutputCapture() { RemoveVectoredExceptionHandler(handler_); }
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;
  static std::vector<std::string> Lines() {
    std::vector<std::string> copy;
    Locked([&](std::vector<std::string>& lines) { copy = lines; });
    return copy;
  }

 private:
  struct Store {
    std::mutex mutex;
    std::vector<std::string> lines;
  };
  static Store& TheStore() {
    static Store store;
    return store;
  }
  template <typename F>
  static void Locked(F f) {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    f(store.lines);
  }
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* e) {
    const auto* record = e->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
      std::string line(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                       static_cast<size_t>(record->ExceptionInformation[0]));
      while (!line.empty() && line.back() == '\0') line.pop_back();
      Locked([&](std::vector<std::string>& lines) { lines.push_back(line); });
    }
    return EXCEPTION_CONTINUE_SEARCH;
  }
  void* handler_;
};

inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

// The kind the run's Wine version stands for (-1 when the run names none).
inline int ExpectedKind() {
  const std::string kind = Env("TOVIK_EXPECT_KIND");
  return kind.empty() ? -1 : std::atoi(kind.c_str());
}

inline std::string Folder(int csidl) {
  char path[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return std::string();
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh folder in the temporary folder, emptied and removed afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + name;
    Remove();
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  void Remove() {
    // Double NUL ends the list SHFileOperation takes.
    std::string from = path_ + std::string(2, '\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
  }
  std::string path_;
};

// What the checks after the run must find: the run names a folder
// (TOVIK_SHELL_OUT) where each shortcut is copied and a line per fact is
// written to "expect.txt", separated by "|".
class CheckRecord {
 public:
  static bool Enabled() { return !Env("TOVIK_SHELL_OUT").empty(); }

  // A copy of `lnk` and the fields lnkinfo has to show for it.
  static void Shortcut(const std::string& lnk, const std::string& target,
                       const std::string& arguments, const std::string& description,
                       const std::string& workingDir, const std::string& iconLocation) {
    if (!Enabled()) return;
    static int count = 0;
    const std::string name = "link" + std::to_string(++count) + ".lnk";
    ASSERT_TRUE(CopyFileA(lnk.c_str(), (Env("TOVIK_SHELL_OUT") + "\\" + name).c_str(), FALSE))
        << lnk;
    Line("lnk|" + name + "|" + target + "|" + arguments + "|" + description + "|" + workingDir +
         "|" + iconLocation);
  }
  // A registry value (HKCU) the run leaves behind, or one that must be absent.
  static void Value(const std::string& key, const std::string& value, const std::string& data) {
    Line("reg|" + key + "|" + value + "|" + data);
  }
  static void NoValue(const std::string& key, const std::string& value) {
    Line("noreg|" + key + "|" + value);
  }
  // The attributes a file on a Wine drive must show from the host, as the
  // letters R, H and S in that order (read-only, hidden, system).
  static void Attributes(const std::string& path, const std::string& letters) {
    Line("attr|" + path + "|" + letters);
  }
  // A file on a Wine drive that the host must find byte for byte like `same`.
  static void SameFile(const std::string& path, const std::string& same) {
    Line("same|" + path + "|" + same);
  }
  // The same for a file that must hold `text`, kept in the check folder.
  static void SameText(const std::string& path, const std::string& text) {
    if (!Enabled()) return;
    static int count = 0;
    const std::string file = Env("TOVIK_SHELL_OUT") + "\\text" + std::to_string(++count) + ".txt";
    std::ofstream(file, std::ios::binary) << text;
    SameFile(path, file);
  }
  // A key of a settings file in the check folder (named as there).
  static void Setting(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) {
    Line("ini|" + file + "|" + section + "|" + key + "|" + value);
  }

 private:
  static void Line(const std::string& line) {
    if (!Enabled()) return;
    std::ofstream out(Env("TOVIK_SHELL_OUT") + "\\expect.txt", std::ios::app | std::ios::binary);
    out << line << "\n";
  }
};

}  // namespace shelltest
