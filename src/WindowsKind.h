// The application's own classification of the running Windows version. It
// decides which systems the program supports and how it keeps its start-up
// entry, drive icons and Explorer windows.
#pragma once

enum WindowsKind : int {
  kWinOther = 0,  // another platform, or the version could not be read
  kWin32s = 1,
  kWin95 = 2,
  kWin98 = 3,
  kWin98SE = 4,
  kWinME = 5,
  kWinNT = 6,  // NT up to major version 4
  kWin2000 = 7,
  kWinXP = 8,
};

// The kind of one version answer: platform id, major and minor version and
// the service-pack text (the second character "A" marks 98 Second Edition).
int ClassifyWindowsVersion(unsigned long platformId, unsigned long major, unsigned long minor,
                           const char* servicePack);

// The kind of the running system (asked each time; the answer is cheap).
int GetWindowsKind();
