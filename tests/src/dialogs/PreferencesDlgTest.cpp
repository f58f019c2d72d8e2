// The preferences as a real window: the boxes follow the settings and the
// shortcut files, OK brings shortcuts and the start-up entry in line, the
// language box switches the language at once and Cancel goes back.
#include "PreferencesDlg.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>

#include "DialogsTestSupport.h"
#include "GuiTestSupport.h"
#include "resource.h"

using dialogtest::Checked;
using dialogtest::Program;
using dialogtest::Text;

namespace {

class PreferencesDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = dialogtest::FreshSettings("preferences.ini");
    CStringLoader::InitLanguages();
    CStringLoader::SetCurrentLanguage(1033);
    dialogtest::RemoveShortcutsAndEntries();
  }
  void TearDown() override { CStringLoader::SetCurrentLanguage(1033); }
  int Stored(const char* key) {
    return GetPrivateProfileIntA(CAppSettings::SectionName().c_str(), key, -1, settings_.c_str());
  }
  std::string settings_;
};

// Selects `language` in the box as the user would.
void ChooseLanguage(HWND dialog, WORD language) {
  HWND box = GetDlgItem(dialog, IDC_LANGUAGE_SELECT_COMBO);
  const LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageA(box, CB_GETITEMDATA, WPARAM(i), 0) == language) {
      SendMessageA(box, CB_SETCURSEL, WPARAM(i), 0);
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_SELECT_COMBO, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(box));
      return;
    }
  }
  ADD_FAILURE() << "language " << language << " is not offered";
}

WORD SelectedLanguage(HWND dialog) {
  HWND box = GetDlgItem(dialog, IDC_LANGUAGE_SELECT_COMBO);
  const LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
  return index < 0 ? 0 : WORD(SendMessageA(box, CB_GETITEMDATA, WPARAM(index), 0));
}

}  // namespace

TEST_F(PreferencesDlgTest, BoxesFollowTheSettingsAndTheShortcutFilesOnDisk) {
  struct Case {
    int stored;
    bool fileThere;
  } cases[] = {{1, false}, {0, true}};
  for (const Case& c : cases) {
    CAppSettings().WriteSetting("DesktopShortcut", c.stored);
    CAppSettings().WriteSetting("AudioIndication", c.stored);
    DeleteFileA(dialogtest::ShortcutPath(CAppShortcuts::kDesktop).c_str());
    if (c.fileThere) {
      ASSERT_TRUE(CAppShortcuts::Create(CAppShortcuts::kDesktop, Program()));
    }
    CPreferencesDlg dialog(nullptr, Program());
    ASSERT_TRUE(dialog.Create()) << "under Wine set DISPLAY to a running X server";
    HWND window = dialog.GetSafeHwnd();
    EXPECT_EQ(Checked(window, IDC_DESKTOP_SC_CHECK), c.fileThere) << "stored " << c.stored;
    EXPECT_EQ(Checked(window, IDC_AUDIO_ON_CHECK), c.stored == 1);
    EXPECT_FALSE(Checked(window, IDC_START_SC_CHECK));
    dialog.DestroyWindow();
  }
}

TEST_F(PreferencesDlgTest, TextsTooltipsAndTheLanguagesInTheirOwnNames) {
  CPreferencesDlg dialog(nullptr, Program());
  ASSERT_TRUE(dialog.Create()) << "under Wine set DISPLAY to a running X server";
  HWND window = dialog.GetSafeHwnd();
  EXPECT_EQ(Text(window), " Tovik Control Panel Settings");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_CAPTION_CTL)), " Tovik Control Panel Settings");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_PAKKEO_PREFERENCES_INTRO)), "Select your preferences");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_LANGUAGE_PREFERENCES_INTRO)), "Select your language");
  EXPECT_EQ(Text(GetDlgItem(window, IDCANCEL)), "&Cancel");
  const std::map<int, std::pair<std::string, std::string>> boxes = {
      {IDC_AUTORAN_ON_CHECK,
       {"Autorun Process", "Execute Autorun commands (same as the CDrom drive)."}},
      {IDC_VISUAL_ON_CHECK, {"Visual Indication", "Visual Tovik Drive view for quick access."}},
      {IDC_AUDIO_ON_CHECK,
       {"Audio Indication", "Audio indication for Tovik Drive insertion and removal."}},
      {IDC_STARTUP_ON_CHECK,
       {"Load with Windows",
        "Tovik Control Panel will be loaded with Windows, enabling the "
        "advanced features automaticaly."}},
      {IDC_SPLASH_ON_CHECK,
       {"Splash Screen", "A graphic window displayed when the application is being loaded."}},
      {IDC_DESKTOP_SC_CHECK,
       {"Create Desktop Shortcut", "Create a shortcut to Tovik Control Panel on your Desktop."}},
      {IDC_START_SC_CHECK,
       {"Create Start Menu Shortcut",
        "Creating a shortcut to Tovik Control Panel in your 'Start' menu."}},
      {IDC_ALWAYS_ONTOP_ON_CHECK,
       {"Always on top",
        "Keep Tovik Control Panel always on top of other windows for maximum "
        "accessibility."}},
      {IDC_LANGUAGE_SELECT_COMBO, {"", "Select your prefered language."}},
  };
  HWND tip = dialog.ToolTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), LRESULT(boxes.size()));
  for (const auto& [id, texts] : boxes) {
    HWND control = GetDlgItem(window, id);
    if (id != IDC_LANGUAGE_SELECT_COMBO) {
      EXPECT_EQ(Text(control), texts.first);
    }
    // The ANSI query hands out 80 characters at most; the stored text is whole.
    wchar_t wide[512] = L"";
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = control;
    tool.uId = UINT_PTR(id);
    tool.lpszText = wide;
    SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    char text[512] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    EXPECT_EQ(std::string(text), texts.second) << "tooltip of " << id;
    // Each tool covers its own control's client area.
    ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    RECT client{};
    GetClientRect(control, &client);
    EXPECT_TRUE(guitest::SameRect(tool.rect, client)) << id;
  }
  // The nine tables, each language under its own name.
  HWND box = GetDlgItem(window, IDC_LANGUAGE_SELECT_COMBO);
  EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 9);
  std::map<WORD, std::string> names;
  for (LRESULT i = 0; i < SendMessageA(box, CB_GETCOUNT, 0, 0); ++i) {
    char name[64] = "";
    SendMessageA(box, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(name));
    names[WORD(SendMessageA(box, CB_GETITEMDATA, WPARAM(i), 0))] = name;
  }
  EXPECT_EQ(names[1033], "English");
  EXPECT_EQ(names[1031], "Deutsch");
  EXPECT_EQ(names[1036],
            "Fran\xe7"
            "ais");
  EXPECT_EQ(names[3082], "Espa\xf1ol");
  EXPECT_EQ(SelectedLanguage(window), 1033);
  dialog.DestroyWindow();
}

TEST_F(PreferencesDlgTest, StoredLanguageOpensTheDialogInItOrInEnglishWithoutATable) {
  struct Case {
    int stored;
    WORD opens;
  } cases[] = {{1045, 1033}, {1041, 1041}, {1031, 1031}};
  for (const Case& c : cases) {
    CAppSettings().WriteSetting("SelectedLanguage", c.stored);
    CPreferencesDlg dialog(nullptr, Program());
    ASSERT_TRUE(dialog.Create()) << "under Wine set DISPLAY to a running X server";
    EXPECT_EQ(SelectedLanguage(dialog.GetSafeHwnd()), c.opens) << "stored " << c.stored;
    EXPECT_EQ(CStringLoader::CurrentLanguage(), c.opens);
    dialog.DestroyWindow();
    CStringLoader::SetCurrentLanguage(1033);
  }
}

TEST_F(PreferencesDlgTest, AnotherLanguageSwitchesAtOnceAndCancelGoesBack) {
  CAppSettings().WriteSetting("SelectedLanguage", 1033);
  struct Case {
    int button;
    WORD after;
    int stored;
  } cases[] = {{IDCANCEL, 1033, 1033}, {IDOK, 1036, 1036}};
  for (const Case& c : cases) {
    CPreferencesDlg dialog(nullptr, Program());
    WORD during = 0;
    bool sampleChanged = false;
    const INT_PTR result = guitest::RunModal(dialog, [&](HWND window) {
      HWND sample = GetDlgItem(window, IDC_LANGUAGE_SAMPLE);
      UpdateWindow(window);
      const guitest::Capture before = guitest::CaptureWindow(sample);
      ChooseLanguage(window, 1036);
      during = CStringLoader::CurrentLanguage();
      UpdateWindow(window);
      const guitest::Capture after = guitest::CaptureWindow(sample);
      sampleChanged = before.pixels != after.pixels;
      PostMessageA(GetDlgItem(window, c.button), BM_CLICK, 0, 0);
    });
    ASSERT_EQ(result, c.button) << "under Wine set DISPLAY to a running X server";
    EXPECT_EQ(during, 1036);
    EXPECT_TRUE(sampleChanged) << "the sample is written in the chosen language";
    EXPECT_EQ(CStringLoader::CurrentLanguage(), c.after);
    EXPECT_EQ(Stored("SelectedLanguage"), c.stored);
  }
}

TEST_F(PreferencesDlgTest, UncheckingTheStartMenuBoxDeletesOnlyThatShortcut) {
  ASSERT_TRUE(CAppShortcuts::Create(CAppShortcuts::kStartMenu, Program()));
  ASSERT_TRUE(CAppShortcuts::CreateUninstall(Program()));
  CPreferencesDlg dialog(nullptr, Program());
  bool wasChecked = false;
  const INT_PTR result = guitest::RunModal(dialog, [&](HWND window) {
    wasChecked = Checked(window, IDC_START_SC_CHECK);
    SendMessageA(GetDlgItem(window, IDC_START_SC_CHECK), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  });
  ASSERT_EQ(result, IDOK) << "under Wine set DISPLAY to a running X server";
  EXPECT_TRUE(wasChecked);
  EXPECT_FALSE(shelltest::Exists(dialogtest::ShortcutPath(CAppShortcuts::kStartMenu)));
  const std::string uninstall =
      dialogtest::ShortcutPath(CAppShortcuts::kStartMenu, CAppShortcuts::kUninstallName);
  ASSERT_TRUE(shelltest::Exists(uninstall));
  EXPECT_EQ(Stored("StartShortcut"), 0);
  EXPECT_EQ(Stored("DesktopShortcut"), 0);
  EXPECT_EQ(Stored("SelectedLanguage"), 1033);
  const std::string program = Program();
  shelltest::CheckRecord::Shortcut(uninstall, program, "/UNINSTALL", "Uninstall Ovrin",
                                   program.substr(0, program.rfind('\\')), program + ",1");
}

TEST_F(PreferencesDlgTest, LoadWithWindowsKeepsTheStartupEntryOfTheWindowsKind) {
  // On, off, and on again: the host checks what the last step left.
  for (bool on : {true, false, true}) {
    CAppSettings().WriteSetting("StartupLoad", on ? 0 : 1);
    CPreferencesDlg dialog(nullptr, Program());
    const INT_PTR result = guitest::RunModal(dialog, [&](HWND window) {
      SendMessageA(GetDlgItem(window, IDC_STARTUP_ON_CHECK), BM_CLICK, 0, 0);
      PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_EQ(result, IDOK) << "under Wine set DISPLAY to a running X server";
    EXPECT_EQ(Stored("StartupLoad"), on ? 1 : 0);
    EXPECT_EQ(dialogtest::StartupEntryPresent(), on) << "kind " << shelltest::ExpectedKind();
  }
  const int kind = shelltest::ExpectedKind();
  const std::string run = std::string("HKCU\\") + dialogtest::kRunKey;
  if (kind == 4) {
    shelltest::CheckRecord::NoValue(run, "Tovik");
  } else {
    shelltest::CheckRecord::Value(run, "Tovik", Program());
  }
  shelltest::CheckRecord::Setting("preferences.ini", CAppSettings::SectionName(), "StartupLoad",
                                  "1");
}
