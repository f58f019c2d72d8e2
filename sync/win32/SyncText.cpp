// Windows text: the process's ANSI code page, as the ANSI file calls use it.
#include <windows.h>

#include <ctime>

#include "SyncText.h"

namespace tovik {

bool PathToField(const std::string& path, char16_t* field, size_t units) {
  for (size_t k = 0; k < units; ++k) field[k] = 0;
  if (path.empty()) return units > 0;
  const std::string text = path.c_str();  // up to the first NUL, as a C string
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.c_str(), int(text.size()), nullptr, 0);
  if (needed <= 0 || size_t(needed) + 1 > units) return false;
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), int(text.size()), reinterpret_cast<wchar_t*>(field),
                      needed);
  return true;
}

std::string FieldToPath(const char16_t* field, size_t units) {
  // Bounded by the field: a damaged record may have no NUL.
  size_t length = 0;
  while (length < units && field[length] != 0) ++length;
  if (length == 0) return std::string();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(field);
  const int needed =
      WideCharToMultiByte(CP_ACP, 0, wide, int(length), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string out(size_t(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, int(length), &out[0], needed, nullptr, nullptr);
  return out;
}

std::string LocalTimeText(const SyncFileTime& time) {
  if (time.dwLowDateTime == 0 || time.dwHighDateTime == 0) return std::string();
  const FILETIME utc{time.dwLowDateTime, time.dwHighDateTime};
  FILETIME local{};
  SYSTEMTIME st{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) {
    return std::string();
  }
  std::tm tm{};
  tm.tm_year = st.wYear - 1900;
  tm.tm_mon = st.wMonth - 1;
  tm.tm_mday = st.wDay;
  tm.tm_hour = st.wHour;
  tm.tm_min = st.wMinute;
  tm.tm_sec = st.wSecond;
  tm.tm_wday = st.wDayOfWeek;
  tm.tm_isdst = -1;
  char text[128];
  const size_t n = std::strftime(text, sizeof(text), "%c", &tm);
  return std::string(text, n);
}

}  // namespace tovik
