// One control registered with a skinned dialog's layout: where it goes and
// how it follows the client edges and its right-hand neighbour.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CControlInfo {
 public:
  enum Anchor : uint32_t { kLeft = 0x0001, kRight = 0x0010, kTop = 0x0100, kBottom = 0x1000 };

  uint32_t neighbourId = 0;  // the control standing to the left of this one
  int32_t gap = 0;           // pixels between the two
  uint32_t anchorFlags = 0;
  int32_t margin = 0;
  bool isComboBox = false;
  std::string name;
  HWND window = nullptr;
  RECT rect{};  // target position in client pixels
  bool leftAligned = false;
  bool contentSized = false;  // keeps its own width (SetResizableControlInfo)
};
