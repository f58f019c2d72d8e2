// Wine answers GetVersionExA with the Windows version its registry names for a
// program, so each kind is classified from a real answer here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const char kProbe[] = "oskind_probe.exe";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\oskind_probe.exe";

std::string programFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

// Runs the probe and returns what it printed.
std::string runProbe() {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return "no pipe";
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::string command = programFolder() + kProbe;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi)) {
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return "cannot start " + command;
  }
  CloseHandle(writeEnd);
  std::string output;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    output.append(buffer, got);
  }
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(readEnd);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

TEST(OSKindWineTest, EachWindowsVersionGetsItsKindAndTransport) {
  const struct {
    const char* version;
    const char* expected;
  } cases[] = {
      {"win98", "kind=3 connection=C98Connection"},
      {"winme", "kind=4 connection=CMEConnection"},
      {"win2k", "kind=6 connection=CNTConnection"},
      {"winxp", "kind=7 connection=CNTConnection"},
  };
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    ASSERT_EQ(RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.version),
                             static_cast<DWORD>(strlen(c.version) + 1)),
              ERROR_SUCCESS);
    EXPECT_EQ(runProbe(), c.expected);
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
}

}  // namespace
