// A small program the drive tests start through the shell: it writes its
// arguments into "marker-out.txt" next to itself and ends.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return 1;
  std::strcpy(slash + 1, "marker-out.txt");
  // Written under a temporary name and renamed, so a reader never sees half of it.
  char temporary[MAX_PATH + 8];
  std::strcpy(temporary, path);
  std::strcat(temporary, ".new");
  const HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, arguments, static_cast<DWORD>(std::strlen(arguments)), &written, nullptr);
  CloseHandle(file);
  return MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
