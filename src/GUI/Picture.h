// One picture from a resource (GIF in this program), decoded by the system's
// picture decoder from an in-memory stream; knows its size and paints itself.
#pragma once

#include <ole2.h>
#include <olectl.h>
#include <windows.h>

class CPicture {
 public:
  CPicture() = default;
  ~CPicture();
  CPicture(const CPicture&) = delete;
  CPicture& operator=(const CPicture&) = delete;

  // Loads resource `id` of `type` from `module`; a picture loaded before is
  // released first. False when the resource is missing or does not decode.
  bool Load(HINSTANCE module, UINT id, const char* type = "GIF");
  void Free();
  bool IsLoaded() const { return picture_ != nullptr; }
  // Size in pixels; 0 x 0 without a picture.
  SIZE GetSize() const;
  // Paints at (x, y), at its own size when cx or cy is 0, else stretched.
  bool Render(HDC dc, int x, int y, int cx = 0, int cy = 0) const;

 private:
  IPicture* picture_ = nullptr;
};
