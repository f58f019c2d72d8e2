// Puts a stand-in into the test program's own import table for one imported
// function while it lives: the calls the program makes to the system (a
// sound, the format dialog, a message box, a started process) are then seen
// by the test, and answered as the test says, through the very entry the
// program calls.
#pragma once

#include <windows.h>

#include <cstring>

namespace viewtest {

class ImportHook {
 public:
  ImportHook(const char* dll, const char* function, void* standIn) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
        slot_ = reinterpret_cast<void**>(&slots->u1.Function);
        original_ = *slot_;
        Write(standIn);
        return;
      }
    }
  }
  ~ImportHook() {
    if (slot_ != nullptr) Write(original_);
  }
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // False when the program does not import the function.
  bool Installed() const { return slot_ != nullptr; }
  void* Original() const { return original_; }

 private:
  void Write(void* value) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof(void*), old, &old);
  }

  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace viewtest
