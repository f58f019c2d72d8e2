#include "TestProcess.h"

#include <windows.h>

#include <vector>

ProcessResult runProcess(const std::string& commandLine, const std::string& input,
                         const std::string& directory) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return result;
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION process = {};
  std::vector<char> command(commandLine.begin(), commandLine.end());
  command.push_back('\0');
  result.started =
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     directory.empty() ? nullptr : directory.c_str(), &startup, &process) != FALSE;
  CloseHandle(outWrite);
  CloseHandle(inRead);
  if (result.started) {
    DWORD written = 0;
    if (!input.empty()) {
      WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
  }
  CloseHandle(inWrite);
  char buffer[4096];
  DWORD got = 0;
  while (result.started && ReadFile(outRead, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    result.output.append(buffer, got);
  }
  CloseHandle(outRead);
  if (result.started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  // Console output may come with carriage returns; the tests compare lines.
  std::string lines;
  for (char c : result.output) {
    if (c != '\r') lines += c;
  }
  result.output = lines;
  return result;
}

std::string programFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\') + 1);
}
