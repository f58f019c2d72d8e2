// What the compiler's own runtime imports, made to work on Windows 98 SE and
// ME, linked into every shipped binary (tovik_check_imports).
//
// The runtime calls these through their import slots (__imp_...). Defining the
// slots here keeps the functions out of the import table and routes the calls:
// - CreateSemaphoreW, GetModuleHandleW, LoadLibraryW (the thread, unwind and
//   locale support): on 98 SE and ME only stubs that fail, so a semaphore would
//   never be made and a lock would not exclude; here they go to the A functions.
// - _fstat64 (file streams): msvcrt.dll has it from XP on only; elsewhere the
//   answer comes from _fstati64, which every msvcrt.dll has.
#include <windows.h>

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The name of a function's import slot: decorated in the 32-bit build (where it
// ships), plain in the 64-bit one (where its tests run).
#ifdef __i386__
#define TOVIK_STDCALL_SLOT(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#define TOVIK_CDECL_SLOT(name) "__imp__" #name
#else
#define TOVIK_STDCALL_SLOT(name, argumentBytes) "__imp_" #name
#define TOVIK_CDECL_SLOT(name) "__imp_" #name
#endif

namespace {

// A wide name in the ANSI code page; null stays null.
struct NarrowName {
  explicit NarrowName(LPCWSTR wide) {
    if (wide == nullptr) return;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    text.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
    valid = true;
  }
  LPCSTR get() const { return valid ? text.c_str() : nullptr; }
  bool failed(LPCWSTR wide) const { return wide != nullptr && !valid; }

  std::string text;
  bool valid = false;
};

HANDLE WINAPI createSemaphore(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum,
                              LPCWSTR name) {
  const NarrowName narrow(name);
  if (narrow.failed(name)) return nullptr;
  return CreateSemaphoreA(security, initial, maximum, narrow.get());
}

HMODULE WINAPI moduleHandle(LPCWSTR name) {
  const NarrowName narrow(name);
  if (narrow.failed(name)) return nullptr;
  return GetModuleHandleA(narrow.get());
}

HMODULE WINAPI loadLibrary(LPCWSTR name) {
  const NarrowName narrow(name);
  if (narrow.get() == nullptr) return nullptr;
  return LoadLibraryA(narrow.get());
}

// msvcrt.dll's struct _stati64: times in 32 bits.
struct Stat32i64 {
  uint32_t dev;
  uint16_t ino;
  uint16_t mode;
  int16_t nlink;
  int16_t uid;
  int16_t gid;
  uint32_t rdev;
  int64_t size;
  int32_t atime;
  int32_t mtime;
  int32_t ctime;
};
static_assert(offsetof(Stat32i64, size) == 24 && sizeof(Stat32i64) == 48, "msvcrt's layout");

template <typename Fn>
Fn crtFunction(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), name)));
}

int __cdecl fileStat64(int fd, struct _stat64* out) {
  using Stat64Fn = int(__cdecl*)(int, struct _stat64*);
  using Stati64Fn = int(__cdecl*)(int, Stat32i64*);
  static const auto stat64 = crtFunction<Stat64Fn>("_fstat64");
  if (stat64 != nullptr) return stat64(fd, out);
  // Only 32-bit msvcrt.dll lacks _fstat64, and its _fstati64 has 32-bit times.
  static const auto stati64 = crtFunction<Stati64Fn>("_fstati64");
  Stat32i64 s{};
  if (stati64 == nullptr || stati64(fd, &s) != 0) return -1;
  *out = {};
  out->st_dev = s.dev;
  out->st_ino = s.ino;
  out->st_mode = s.mode;
  out->st_nlink = s.nlink;
  out->st_uid = s.uid;
  out->st_gid = s.gid;
  out->st_rdev = s.rdev;
  out->st_size = s.size;
  out->st_atime = s.atime;
  out->st_mtime = s.mtime;
  out->st_ctime = s.ctime;
  return 0;
}

}  // namespace

// The import slots, by the names the runtime's objects refer to.
extern "C" {
extern decltype(&createSemaphore)
    const tovikImpCreateSemaphoreW __asm__(TOVIK_STDCALL_SLOT(CreateSemaphoreW, 16));
decltype(&createSemaphore) const tovikImpCreateSemaphoreW = &createSemaphore;
extern decltype(&moduleHandle)
    const tovikImpGetModuleHandleW __asm__(TOVIK_STDCALL_SLOT(GetModuleHandleW, 4));
decltype(&moduleHandle) const tovikImpGetModuleHandleW = &moduleHandle;
extern decltype(&loadLibrary)
    const tovikImpLoadLibraryW __asm__(TOVIK_STDCALL_SLOT(LoadLibraryW, 4));
decltype(&loadLibrary) const tovikImpLoadLibraryW = &loadLibrary;
extern decltype(&fileStat64) const tovikImpFstat64 __asm__(TOVIK_CDECL_SLOT(_fstat64));
decltype(&fileStat64) const tovikImpFstat64 = &fileStat64;
}
