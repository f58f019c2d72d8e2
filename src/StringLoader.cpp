#include "StringLoader.h"

#include <cstdlib>
#include <cstring>

#include "AppSettings.h"

namespace {

struct LanguageState {
  bool initialised = false;
  WORD current = CStringLoader::kEnglish;
  WORD userDefault = CStringLoader::kEnglish;
  std::vector<WORD> resourceLanguages;
  std::vector<LCID> installedLocales;
};

LanguageState& State() {
  static LanguageState state;
  return state;
}

// The entry `id` of its block in `language`: pointer and length in UTF-16
// units, or false when the block or the entry is missing.
bool FindEntry(UINT id, WORD language, const wchar_t** text, size_t* length) {
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC block = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language);
  if (block == nullptr) return false;
  const HGLOBAL loaded = LoadResource(module, block);
  const DWORD size = SizeofResource(module, block);
  if (loaded == nullptr || size == 0) return false;
  const auto* p = static_cast<const WORD*>(LockResource(loaded));
  const WORD* end = p + size / sizeof(WORD);
  // A block holds sixteen counted strings; walk to the wanted one, never
  // past the block's end.
  for (UINT skip = id % 16; skip > 0; --skip) {
    if (p >= end || *p > end - p - 1) return false;
    p += 1 + *p;
  }
  if (p >= end || *p == 0 || *p > end - p - 1) return false;
  *text = reinterpret_cast<const wchar_t*>(p + 1);
  *length = *p;
  return true;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

BOOL CALLBACK CollectLocale(LPSTR text) {
  State().installedLocales.push_back(static_cast<LCID>(std::strtoul(text, nullptr, 16)));
  return TRUE;
}

}  // namespace

std::string CStringLoader::LoadString(UINT id) { return LoadString(id, CurrentLanguage()); }

std::wstring CStringLoader::LoadWideString(UINT id, WORD language) {
  const wchar_t* text = nullptr;
  size_t length = 0;
  if (!FindEntry(id, language, &text, &length) && !FindEntry(id, kEnglish, &text, &length))
    return std::wstring();
  return std::wstring(text, length);
}

std::string CStringLoader::LoadString(UINT id, WORD language) {
  const wchar_t* text = nullptr;
  size_t length = 0;
  if (!FindEntry(id, language, &text, &length) && !FindEntry(id, kEnglish, &text, &length))
    return std::string();
  char buffer[kBufferSize];
  const int written =
      WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, static_cast<int>(length), buffer,
                          static_cast<int>(sizeof buffer - 1), nullptr, nullptr);
  // A text longer than the buffer is cut at the buffer, never written past it.
  if (written > 0) return std::string(buffer, static_cast<size_t>(written));
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string();
  // Convert as much as fits: shorten until the conversion succeeds.
  for (size_t n = (sizeof buffer - 1) < length ? sizeof buffer - 1 : length; n > 0; --n) {
    const int part =
        WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, static_cast<int>(n), buffer,
                            static_cast<int>(sizeof buffer - 1), nullptr, nullptr);
    if (part > 0) return std::string(buffer, static_cast<size_t>(part));
  }
  return std::string();
}

void CStringLoader::InitLanguages() {
  LanguageState& state = State();
  if (state.initialised) return;
  const int selected = CAppSettings().ReadSetting("SelectedLanguage");
  state.current = selected == 0 ? kEnglish : static_cast<WORD>(selected);
  state.userDefault = GetUserDefaultLangID();
  state.resourceLanguages.clear();
  EnumResourceLanguagesA(GetModuleHandleA(nullptr), RT_STRING, MAKEINTRESOURCEA(1), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&state.resourceLanguages));
  state.installedLocales.clear();
  EnumSystemLocalesA(CollectLocale, LCID_INSTALLED);
  state.initialised = true;
}

void CStringLoader::ResetLanguages() { State() = LanguageState(); }

WORD CStringLoader::CurrentLanguage() { return State().current; }
void CStringLoader::SetCurrentLanguage(WORD language) { State().current = language; }
WORD CStringLoader::UserDefaultLanguage() { return State().userDefault; }
const std::vector<WORD>& CStringLoader::ResourceLanguages() { return State().resourceLanguages; }
const std::vector<LCID>& CStringLoader::InstalledLocales() { return State().installedLocales; }
