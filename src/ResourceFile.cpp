#include "ResourceFile.h"

#include <cstring>

namespace {

#pragma pack(push, 1)
// The icon group as the resource compiler stores it, and the directory of
// an icon file: the same entries, the image's resource id replaced by its
// place in the file.
struct IconDirectoryHeader {
  WORD reserved;
  WORD type;  // 1: icons
  WORD count;
};
struct GroupIconEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD imageId;
};
struct IconFileEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  DWORD offset;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14 && sizeof(IconFileEntry) == 16, "icon file layout");

}  // namespace

bool CResourceFile::Bytes(HMODULE module, LPCSTR name, LPCSTR type, const BYTE*& data, DWORD& size) {
  const HRSRC info = FindResourceA(module, name, type);
  if (info == nullptr) return false;
  const HGLOBAL loaded = LoadResource(module, info);
  size = SizeofResource(module, info);
  data = loaded == nullptr ? nullptr : static_cast<const BYTE*>(LockResource(loaded));
  return data != nullptr && size != 0;
}

bool CResourceFile::IconFileBytes(HMODULE module, UINT id, std::vector<BYTE>& out) {
  const BYTE* group = nullptr;
  DWORD groupSize = 0;
  if (!Bytes(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON, group, groupSize) ||
      groupSize < sizeof(IconDirectoryHeader))
    return false;
  IconDirectoryHeader header;
  std::memcpy(&header, group, sizeof header);
  if (groupSize < sizeof header + header.count * sizeof(GroupIconEntry)) return false;
  std::vector<IconFileEntry> entries(header.count);
  std::vector<BYTE> images;
  const DWORD offset = static_cast<DWORD>(sizeof header + header.count * sizeof(IconFileEntry));
  for (WORD i = 0; i < header.count; ++i) {
    GroupIconEntry g;
    std::memcpy(&g, group + sizeof header + i * sizeof g, sizeof g);
    const BYTE* image = nullptr;
    DWORD imageSize = 0;
    if (!Bytes(module, MAKEINTRESOURCEA(g.imageId), RT_ICON, image, imageSize))
      return false;
    const DWORD imageOffset = offset + static_cast<DWORD>(images.size());
    entries[i] = IconFileEntry{g.width,  g.height,   g.colourCount, g.reserved,
                               g.planes, g.bitCount, imageSize,     imageOffset};
    images.insert(images.end(), image, image + imageSize);
  }
  out.resize(sizeof header);
  std::memcpy(out.data(), &header, sizeof header);
  const BYTE* first = reinterpret_cast<const BYTE*>(entries.data());
  out.insert(out.end(), first, first + entries.size() * sizeof(IconFileEntry));
  out.insert(out.end(), images.begin(), images.end());
  return true;
}


bool CResourceFile::Write(const std::string& path, const void* data, DWORD size,
                          DWORD attributes) {
  // A read-only file cannot be opened for writing: it is made writable first
  // and gets its attributes back at the end.
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  // Cut at the new end: a shorter text must not keep the old one's tail.
  const BOOL ok = WriteFile(file, data, size, &written, nullptr) && SetEndOfFile(file);
  CloseHandle(file);
  SetFileAttributesA(path.c_str(), attributes);
  return ok && written == size;
}
