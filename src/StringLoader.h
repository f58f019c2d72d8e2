// Every text the user sees, by string id, in the language the user chose;
// English (1033) stands in for any entry a language lacks.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CStringLoader {
 public:
  static constexpr WORD kEnglish = 1033;
  static constexpr size_t kBufferSize = 1024;

  // The text of `id` in the current language, else in English, else empty;
  // in the system's ANSI code page, at most kBufferSize - 1 bytes.
  static std::string LoadString(UINT id);
  // The same in a given language, English standing in.
  static std::string LoadString(UINT id, WORD language);

  // The stored UTF-16 text of `id` in `language`, English standing in; for
  // windows that show texts the ANSI code page cannot hold.
  static std::wstring LoadWideString(UINT id, WORD language);

  // Once per process: the selected language (0 means English), the user's
  // default, the languages of the program's first string block and the
  // locales installed on the system.
  static void InitLanguages();
  // Forgets what InitLanguages learnt (the main window ends).
  static void ResetLanguages();

  static WORD CurrentLanguage();
  static void SetCurrentLanguage(WORD language);
  static WORD UserDefaultLanguage();
  static const std::vector<WORD>& ResourceLanguages();
  static const std::vector<LCID>& InstalledLocales();
};
