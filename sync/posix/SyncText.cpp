// Native text: UTF-8 paths, with bytes that are not valid UTF-8 kept as lone
// surrogates U+DC80..U+DCFF so that the conversion loses no native name.
#include <time.h>

#include "SyncText.h"

namespace tovik {

namespace {

// Decodes one UTF-8 sequence at s[i]; 0 when it is not a valid, shortest one.
size_t decodeUtf8(const std::string& s, size_t i, uint32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  size_t n = 0;
  uint32_t min = 0;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    n = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void encodeUtf8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool PathToField(const std::string& path, char16_t* field, size_t units) {
  for (size_t k = 0; k < units; ++k) field[k] = 0;
  std::u16string wide;
  for (size_t i = 0; i < path.size();) {
    uint32_t cp = 0;
    size_t n = decodeUtf8(path, i, cp);
    if (n == 0) {
      cp = 0xDC00 + static_cast<unsigned char>(path[i]);
      n = 1;
    }
    if (cp == 0) break;  // the text ends at its first NUL, as a C string would
    if (cp >= 0x10000) {
      wide += char16_t(0xD800 + ((cp - 0x10000) >> 10));
      wide += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      wide += char16_t(cp);
    }
    i += n;
  }
  if (wide.size() + 1 > units) return false;
  for (size_t k = 0; k < wide.size(); ++k) field[k] = wide[k];
  return true;
}

std::string FieldToPath(const char16_t* field, size_t units) {
  std::string out;
  for (size_t i = 0; i < units && field[i] != 0; ++i) {
    const uint32_t u = field[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && field[i + 1] >= 0xDC00 &&
        field[i + 1] <= 0xDFFF) {
      encodeUtf8(0x10000 + ((u - 0xD800) << 10) + (field[i + 1] - 0xDC00u), out);
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      out += char(u - 0xDC00);  // a byte that was not UTF-8 in the native name
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out += '?';
    } else {
      encodeUtf8(u, out);
    }
  }
  return out;
}

std::string LocalTimeText(const SyncFileTime& time) {
  if (time.dwLowDateTime == 0 || time.dwHighDateTime == 0) return std::string();
  const time_t seconds = time_t(time.value() / 10000000ull) - time_t(11644473600ll);
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return std::string();
  char text[128];
  const size_t n = strftime(text, sizeof(text), "%c", &local);
  return std::string(text, n);
}

}  // namespace tovik
