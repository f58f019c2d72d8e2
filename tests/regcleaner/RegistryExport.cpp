#include "RegistryExport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "TestProcess.h"

namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The export is UTF-16; every name the tests look at is plain ASCII.
std::string narrow(const std::string& utf16) {
  std::string text;
  for (size_t i = 2; i + 1 < utf16.size(); i += 2) {
    text += utf16[i + 1] == '\0' ? utf16[i] : '?';
  }
  return text;
}

// The unescaped name of a value line: "\"na\\\\me\"=..." or "@=...".
std::string valueName(const std::string& line, size_t* end) {
  if (line[0] == '@') {
    *end = 1;
    return "@";
  }
  std::string name;
  size_t i = 1;
  for (; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    name += line[i];
  }
  *end = i + 1;
  return name;
}

}  // namespace

RegistryExport RegistryExport::take() {
  RegistryExport snapshot;
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof(folder), folder);
  const std::string file = std::string(folder) + "regcleaner-export.reg";
  DeleteFileA(file.c_str());
  const ProcessResult run =
      runProcess("regedit.exe /E \"" + file + "\" \"HKEY_LOCAL_MACHINE\\SYSTEM\"");
  EXPECT_TRUE(run.started);
  std::ifstream in(file, std::ios::binary);
  const std::string text = narrow(std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_FALSE(text.empty()) << "regedit wrote no export";
  std::istringstream lines(text);
  std::string line;
  std::string key;
  std::string pending;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Long values go on over lines that end in a backslash.
    if (!pending.empty()) {
      const size_t start = line.find_first_not_of(' ');
      line = pending + (start == std::string::npos ? "" : line.substr(start));
      pending.clear();
    }
    if (!line.empty() && line.back() == '\\' && line[0] != '[') {
      pending = line.substr(0, line.size() - 1);
      continue;
    }
    if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
      key = lowerCase(line.substr(1, line.size() - 2));
      snapshot.keys.insert(key);
    } else if (!key.empty() && (line[0] == '"' || line[0] == '@')) {
      size_t end = 0;
      const std::string name = valueName(line, &end);
      snapshot.values.insert(key + "|" + lowerCase(name) + line.substr(end));
    }
  }
  in.close();
  DeleteFileA(file.c_str());
  return snapshot;
}

std::set<std::string> RegistryExport::removedKeys(const RegistryExport& after) const {
  std::set<std::string> removed;
  std::set_difference(keys.begin(), keys.end(), after.keys.begin(), after.keys.end(),
                      std::inserter(removed, removed.end()));
  return removed;
}

std::set<std::string> RegistryExport::removedValues(const RegistryExport& after) const {
  std::set<std::string> removed;
  for (const std::string& value : values) {
    if (after.values.count(value) != 0) continue;
    const std::string key = value.substr(0, value.find('|'));
    if (after.keys.count(key) == 0) continue;
    const size_t nameStart = key.size() + 1;
    removed.insert(key + "|" + value.substr(nameStart, value.find('=', nameStart) - nameStart));
  }
  return removed;
}

std::set<std::string> RegistryExport::added(const RegistryExport& after) const {
  std::set<std::string> added;
  std::set_difference(after.keys.begin(), after.keys.end(), keys.begin(), keys.end(),
                      std::inserter(added, added.end()));
  std::set_difference(after.values.begin(), after.values.end(), values.begin(), values.end(),
                      std::inserter(added, added.end()));
  return added;
}

std::set<std::string> exportNames(const std::set<std::string>& paths) {
  std::set<std::string> names;
  for (const std::string& path : paths) names.insert(lowerCase("HKEY_LOCAL_MACHINE\\" + path));
  return names;
}
