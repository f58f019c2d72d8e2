#include "GUI/Picture.h"

#include <cstring>
#include <string>

CPicture::~CPicture() { Free(); }

void CPicture::Free() {
  if (picture_ != nullptr) picture_->Release();
  picture_ = nullptr;
}

bool CPicture::Load(HINSTANCE module, UINT id, const char* type) {
  Free();
  const std::string name = "#" + std::to_string(id);
  HRSRC info = FindResourceA(module, name.c_str(), type);
  if (info == nullptr) return false;
  DWORD size = SizeofResource(module, info);
  HGLOBAL loaded = LoadResource(module, info);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return false;
  // The decoder reads from a stream; the stream owns (and frees) this copy.
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (copy == nullptr) return false;
  void* target = GlobalLock(copy);
  if (target == nullptr) {
    GlobalFree(copy);
    return false;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(copy);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    GlobalFree(copy);
    return false;
  }
  void* picture = nullptr;
  HRESULT hr = OleLoadPicture(stream, LONG(size), FALSE, IID_IPicture, &picture);
  stream->Release();
  if (FAILED(hr) || picture == nullptr) return false;
  picture_ = static_cast<IPicture*>(picture);
  return true;
}

SIZE CPicture::GetSize() const {
  SIZE size{0, 0};
  if (picture_ == nullptr) return size;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  HDC screen = GetDC(nullptr);
  // HIMETRIC is hundredths of a millimetre; 2540 of them make an inch.
  size.cx = MulDiv(width, GetDeviceCaps(screen, LOGPIXELSX), 2540);
  size.cy = MulDiv(height, GetDeviceCaps(screen, LOGPIXELSY), 2540);
  ReleaseDC(nullptr, screen);
  return size;
}

bool CPicture::Render(HDC dc, int x, int y, int cx, int cy) const {
  if (picture_ == nullptr) return false;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  if (cx == 0 || cy == 0) {
    SIZE own = GetSize();
    cx = own.cx;
    cy = own.cy;
  }
  // The source rectangle runs upwards from the bottom in HIMETRIC.
  return SUCCEEDED(picture_->Render(dc, x, y, cx, cy, 0, height, width, -height, nullptr));
}
