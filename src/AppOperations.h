// The drive's own autorun: "Autorun.inf" in its root, section "Launcher",
// starts a program and gives the drive its icon in Explorer.
#pragma once

#include <string>

class CAutorun {
 public:
  // `root` is the drive's root path, such as "E:\".
  explicit CAutorun(std::string root);

  // Carries out the keys in their order; false when the file is missing.
  bool Run() const;

 private:
  // The key's value, cut to the buffer with a warning to the debugger.
  std::string ReadLine(const char* key) const;
  void Open(const std::string& value) const;
  void SetIcon(const std::string& value) const;

  std::string m_root;
  std::string m_file;
};
