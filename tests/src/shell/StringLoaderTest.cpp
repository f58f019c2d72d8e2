#include "StringLoader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "AppSettings.h"
#include "ShellTestSupport.h"
#include "res/strings.h"

namespace {

std::wstring Utf16(const std::string& utf8) {
  wchar_t buffer[2048];
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(),
                                    static_cast<int>(utf8.size()), buffer, 2048);
  return std::wstring(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

std::string Ansi(const std::wstring& text) {
  char buffer[2048];
  const int n = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text.c_str(),
                                    static_cast<int>(text.size()), buffer, 2048, nullptr, nullptr);
  return std::string(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

struct TextCase {
  UINT id;
  WORD language;
  const char* utf8;  // the text the table holds, as UTF-8 in this file
};

// Entries of every table, the non-Latin ones included: what windres made of
// the UTF-8 sources is what the resource holds.
const TextCase kTexts[] = {
    {IDS_CANCEL, 1033, "&Cancel"},
    {IDS_OS_NOT_SUPPORTED, 1031,
     "Tovik Control Panel unterstützt diese Windows-Version derzeit nicht."},
    {IDS_MENU_PERSONAL_FOLDERS, 1031, "Persönliche Ordner anlegen"},
    {IDS_GENERAL_ERROR, 1031, "Allgemeiner Fehler.\nDas Programm wird jetzt beendet."},
    {IDS_DRIVE_REMOVABLE, 1036, "Le Tovik Drive peut maintenant être retiré en toute sécurité"},
    {IDS_MENU_EXIT, 1040, "&Esci"},
    {IDS_OK, 3082, "Aceptar"},
    {IDS_UNFORMATTED, 1046, "Não formatado"},
    {IDS_EJECT, 1041, "取り出し"},
    {IDS_CANCEL, 1041, "キャンセル(&C)"},
    {IDS_DRIVE_ARRIVED, 2052, "已连接新的 Tovik Drive"},
    {IDS_OK, 1028, "確定"},
    {IDS_SENDTO_PREFIX, 1028, "Tovik Drive 磁碟機 - "},
};

TEST(StringLoader, TablesHoldTheirTextsInEveryLanguage) {
  for (const auto& c : kTexts) {
    EXPECT_EQ(CStringLoader::LoadWideString(c.id, c.language), Utf16(c.utf8))
        << c.id << " in " << c.language;
  }
}

TEST(StringLoader, LoadStringGivesTheAnsiText) {
  for (const auto& c : kTexts) {
    EXPECT_EQ(CStringLoader::LoadString(c.id, c.language), Ansi(Utf16(c.utf8)))
        << c.id << " in " << c.language;
  }
  if (GetACP() == 1252) {
    EXPECT_EQ(CStringLoader::LoadString(IDS_MENU_PERSONAL_FOLDERS, 1031),
              "Pers\xF6nliche Ordner anlegen");
  }
}

TEST(StringLoader, EnglishStandsInForAnEntryTheLanguageLacks) {
  // The web addresses are the same in every language and kept in English only.
  const std::string url = CStringLoader::LoadString(IDS_URL_WEB_SITE, 1033);
  EXPECT_EQ(url, "http://www.tovik.example/");
  EXPECT_EQ(CStringLoader::LoadString(IDS_URL_WEB_SITE, 1031), url);
  EXPECT_EQ(CStringLoader::LoadString(IDS_URL_SOFTWARE, 1031),
            CStringLoader::LoadString(IDS_URL_SOFTWARE, 1033));
  // A language the program has no table for at all.
  EXPECT_EQ(CStringLoader::LoadString(IDS_CANCEL, 0x0413), "&Cancel");
  // An id in no table.
  EXPECT_EQ(CStringLoader::LoadString(9999, 1031), "");
  EXPECT_EQ(CStringLoader::LoadString(5, 1033), "");  // a gap in the first block
}

TEST(StringLoader, CurrentLanguageSelectsTheTable) {
  CStringLoader::SetCurrentLanguage(1031);
  EXPECT_EQ(CStringLoader::LoadString(IDS_CANCEL), "&Abbrechen");
  EXPECT_EQ(CStringLoader::LoadString(IDS_URL_WEB_SITE), "http://www.tovik.example/");
  CStringLoader::SetCurrentLanguage(1033);
  EXPECT_EQ(CStringLoader::LoadString(IDS_CANCEL), "&Cancel");
}

// The entries of one string block in one language, read straight from the
// resources (no English standing in): empty when the block is missing.
std::vector<std::wstring> Block(UINT block, WORD language) {
  std::vector<std::wstring> entries;
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC found = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(block), language);
  if (found == nullptr) return entries;
  const auto* p = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
  const WORD* end = p + SizeofResource(module, found) / sizeof(WORD);
  for (UINT entry = 0; entry < 16 && p < end; ++entry) {
    entries.emplace_back(reinterpret_cast<const wchar_t*>(p + 1), *p);
    p += 1 + *p;
  }
  return entries;
}

TEST(StringLoader, EveryLanguageTranslatesEveryText) {
  // Web addresses do not change with the language.
  const std::vector<UINT> languageNeutral = {IDS_URL_SOFTWARE, IDS_URL_WEB_SITE, IDS_URL_SUPPORT};
  bool sawLastText = false;
  for (UINT block = 1; block <= 4096; ++block) {
    const std::vector<std::wstring> english = Block(block, 1033);
    for (WORD language : {1028, 1031, 1036, 1040, 1041, 1046, 2052, 3082}) {
      const std::vector<std::wstring> own = Block(block, language);
      for (UINT entry = 0; entry < english.size(); ++entry) {
        const UINT id = (block - 1) * 16 + entry;
        if (id == IDS_FILE_FOLDER) sawLastText = true;
        if (english[entry].empty()) continue;
        const bool neutral =
            std::find(languageNeutral.begin(), languageNeutral.end(), id) != languageNeutral.end();
        const bool present = entry < own.size() && !own[entry].empty();
        EXPECT_EQ(present, !neutral) << "id " << id << " in " << language;
      }
    }
  }
  EXPECT_TRUE(sawLastText);
}

class LanguageInitTest : public ::testing::Test {
 protected:
  LanguageInitTest() : folder_("tovik-language-test") {
    CAppSettings::SetSettingsPath(folder_.Path() + "\\Tovik.ini");
    CStringLoader::ResetLanguages();
  }
  ~LanguageInitTest() override {
    CStringLoader::ResetLanguages();
    CAppSettings::SetSettingsPath("");
  }
  shelltest::ScratchFolder folder_;
};

TEST_F(LanguageInitTest, SelectedLanguageZeroMeansEnglish) {
  CAppSettings().WriteSetting("SelectedLanguage", 0);
  CStringLoader::SetCurrentLanguage(1031);
  CStringLoader::ResetLanguages();
  CStringLoader::InitLanguages();
  EXPECT_EQ(CStringLoader::CurrentLanguage(), 1033);
  EXPECT_EQ(CStringLoader::LoadString(IDS_CANCEL), "&Cancel");
  EXPECT_EQ(CStringLoader::UserDefaultLanguage(), GetUserDefaultLangID());
}

TEST_F(LanguageInitTest, ReadsTheSelectedLanguageAndListsTheTables) {
  CAppSettings().WriteSetting("SelectedLanguage", 1031);
  CStringLoader::InitLanguages();
  EXPECT_EQ(CStringLoader::CurrentLanguage(), 1031);
  EXPECT_EQ(CStringLoader::LoadString(IDS_TOOLS), "Extras");

  std::vector<WORD> languages = CStringLoader::ResourceLanguages();
  std::sort(languages.begin(), languages.end());
  const std::vector<WORD> nine = {1028, 1031, 1033, 1036, 1040, 1041, 1046, 2052, 3082};
  EXPECT_EQ(languages, nine);
  const auto& locales = CStringLoader::InstalledLocales();
  EXPECT_NE(std::find(locales.begin(), locales.end(), 0x0409u), locales.end());
  EXPECT_NE(std::find(locales.begin(), locales.end(), 0x0407u), locales.end());
}

}  // namespace
