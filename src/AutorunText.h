// The values of a drive's "Autorun.inf", section "Launcher", as its autorun
// reads them: the keys in the order they are carried out, the program and
// parameters of "open", the file and index of "icon". No Windows call: the
// file is read and the actions are taken by CAutorun.
#pragma once

#include <cstddef>
#include <string>

class CAutorunText {
 public:
  // The autorun's read buffer; a longer value is cut to one byte less.
  static constexpr size_t kValueBufferSize = 1024;

  enum class Action { kOpen, kIcon, kNone };
  struct Key {
    const char* name;
    Action action;
  };
  static constexpr size_t kKeyCount = 6;
  // "open", "icon", "defaulticon", "shell", "shell\verb", "shell\verb\command".
  static const Key kKeys[kKeyCount];

  // An "open" value: "program|parameters" starts the program as written;
  // a bare name starts the drive's file of that name when there is one
  // (`onDrive`, empty for the first form), else the name as written.
  struct Launch {
    std::string onDrive;
    std::string asWritten;
    std::string parameters;
  };
  static Launch ParseOpen(const std::string& root, const std::string& value);

  // An "icon" value: a file, optionally "," and a decimal index (a comma in
  // front is part of the name); a file without a drive letter lies in the root.
  struct Icon {
    std::string file;
    unsigned index;
  };
  static Icon ParseIcon(const std::string& root, const std::string& value);
};
