// The program's resources as files: the bytes of a resource, an icon
// resource turned into the bytes of an icon file, and the writing of such
// bytes onto a drive, replacing what a file of that name held before.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CResourceFile {
 public:
  // The bytes of resource `name` of `type`; false when it is missing or empty.
  static bool Bytes(HMODULE module, LPCSTR name, LPCSTR type, const BYTE*& data, DWORD& size);
  // The program's icon `id` as an icon file: its directory, then the images
  // in the group's order.
  static bool IconFileBytes(HMODULE module, UINT id, std::vector<BYTE>& out);
  // Writes `size` bytes as the whole content of `path` and gives it
  // `attributes`; an existing file (even a read-only one) is rewritten in
  // place, an absent one created. False when the file cannot be written.
  static bool Write(const std::string& path, const void* data, DWORD size, DWORD attributes);
};
