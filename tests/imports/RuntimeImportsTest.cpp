// The runtime's import slots: calls through them, as the compiler's runtime
// makes them, reach the program's own functions and give the system's answers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void* systemFunction(const char* dll, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(dll), name));
}

TEST(RuntimeImports, TheSlotsHoldTheProgramsOwnFunctions) {
  EXPECT_NE(reinterpret_cast<void*>(&CreateSemaphoreW),
            systemFunction("kernel32.dll", "CreateSemaphoreW"));
  EXPECT_NE(reinterpret_cast<void*>(&GetModuleHandleW),
            systemFunction("kernel32.dll", "GetModuleHandleW"));
  EXPECT_NE(reinterpret_cast<void*>(&LoadLibraryW), systemFunction("kernel32.dll", "LoadLibraryW"));
  EXPECT_NE(reinterpret_cast<void*>(&_fstat64), systemFunction("msvcrt.dll", "_fstat64"));
}

TEST(RuntimeImports, ASemaphoreMadeByItsWideNameIsFoundByItsNarrowOne) {
  const HANDLE made = CreateSemaphoreW(nullptr, 0, 2, L"TovikRuntimeImportsTest");
  ASSERT_NE(made, nullptr);
  const HANDLE found = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "TovikRuntimeImportsTest");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(WaitForSingleObject(made, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseSemaphore(found, 1, nullptr));
  EXPECT_EQ(WaitForSingleObject(made, 0), WAIT_OBJECT_0);
  CloseHandle(found);
  CloseHandle(made);

  const HANDLE unnamed = CreateSemaphoreW(nullptr, 1, 1, nullptr);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(unnamed);
}

TEST(RuntimeImports, ModulesByWideNameAreTheOnesOfTheNarrowName) {
  EXPECT_EQ(GetModuleHandleW(L"kernel32.dll"), GetModuleHandleA("kernel32.dll"));
  EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleA(nullptr));
  EXPECT_EQ(GetModuleHandleW(L"tovik-no-such-module.dll"), nullptr);

  const HMODULE loaded = LoadLibraryW(L"shlwapi.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded, GetModuleHandleA("shlwapi.dll"));
  FreeLibrary(loaded);
  EXPECT_EQ(LoadLibraryW(L"tovik-no-such-library.dll"), nullptr);
}

// A file of 1234 bytes, removed when the test ends.
class SizedFile {
 public:
  SizedFile() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    path_ = std::string(folder) + "tovik-runtime-imports-" + std::to_string(GetCurrentProcessId());
    std::ofstream(path_, std::ios::binary) << std::string(1234, 'x');
  }
  ~SizedFile() { DeleteFileA(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(RuntimeImports, FileStatusThroughTheSlotIsTheFiles) {
  const SizedFile file;
  const int fd = _open(file.path().c_str(), _O_RDONLY | _O_BINARY);
  ASSERT_GE(fd, 0);
  struct _stat64 status {};
  EXPECT_EQ(_fstat64(fd, &status), 0);
  EXPECT_EQ(status.st_size, 1234);
  EXPECT_TRUE(status.st_mode & _S_IFREG);
  _close(fd);

  // The file streams ask it for what is left to read.
  std::ifstream in(file.path(), std::ios::binary);
  EXPECT_EQ(in.rdbuf()->in_avail(), 1234);
}

}  // namespace
