// The install wizard as a real window: its defaults, what Finish writes and
// makes, and that Cancel leaves no trace. Cancel runs first: the host checks
// what Finish left.
#include "InstallWizardDlg.h"

#include <gtest/gtest.h>

#include "DialogsTestSupport.h"
#include "GuiTestSupport.h"
#include "resource.h"

using dialogtest::Checked;
using dialogtest::Program;
using dialogtest::Text;

TEST(InstallWizardDlg, CancelWritesNothing) {
  const std::string settings = dialogtest::FreshSettings("wizard-cancel.ini");
  dialogtest::RemoveShortcutsAndEntries();
  CInstallWizardDlg wizard(nullptr, Program());
  const INT_PTR result = guitest::RunModal(wizard, [](HWND window) {
    SendMessageA(GetDlgItem(window, IDC_DESKTOP_SC_CHECK), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
  });
  ASSERT_EQ(result, IDCANCEL) << "under Wine set DISPLAY to a running X server";
  EXPECT_FALSE(shelltest::Exists(settings));
  EXPECT_FALSE(dialogtest::StartupEntryPresent());
  EXPECT_FALSE(shelltest::Exists(dialogtest::ShortcutPath(CAppShortcuts::kDesktop)));
  EXPECT_FALSE(shelltest::Exists(dialogtest::ShortcutPath(CAppShortcuts::kStartMenu)));
  EXPECT_FALSE(shelltest::Exists(
      dialogtest::ShortcutPath(CAppShortcuts::kStartMenu, CAppShortcuts::kUninstallName)));
}

TEST(InstallWizardDlg, FinishWritesEveryValueTheEntryAndTheShortcuts) {
  const std::string settings = dialogtest::FreshSettings("wizard.ini");
  CStringLoader::SetCurrentLanguage(1033);
  dialogtest::RemoveShortcutsAndEntries();
  CInstallWizardDlg wizard(nullptr, Program());
  bool desktopBefore = true, startBefore = false;
  HWND focus = nullptr, finish = nullptr;
  RECT client{}, finishRect{}, cancelRect{};
  std::string title, welcome, intro, finishText;
  const INT_PTR result = guitest::RunModal(wizard, [&](HWND window) {
    desktopBefore = Checked(window, IDC_DESKTOP_SC_CHECK);
    startBefore = Checked(window, IDC_START_SC_CHECK);
    focus = GetFocus();
    finish = GetDlgItem(window, ID_WIZFINISH);
    GetClientRect(window, &client);
    finishRect = guitest::RectIn(finish, window);
    cancelRect = guitest::RectIn(GetDlgItem(window, IDCANCEL), window);
    title = Text(window);
    welcome = Text(GetDlgItem(window, IDC_INSTALL_PREFERENCES));
    intro = Text(GetDlgItem(window, IDC_INSTALL_PREFERENCES_INTRO));
    finishText = Text(finish);
    SendMessageA(GetDlgItem(window, IDC_DESKTOP_SC_CHECK), BM_CLICK, 0, 0);
    PostMessageA(finish, BM_CLICK, 0, 0);
  });
  ASSERT_EQ(result, IDOK) << "under Wine set DISPLAY to a running X server";
  EXPECT_FALSE(desktopBefore);
  EXPECT_TRUE(startBefore);
  EXPECT_EQ(focus, finish);
  EXPECT_EQ(title, " Tovik Control Panel Welcome");
  EXPECT_EQ(welcome, "Welcome to Tovik Control Panel");
  EXPECT_EQ(intro,
            "To start using Tovik Control Panel, select where the shortcut will be placed and "
            "click 'Finish'.");
  EXPECT_EQ(finishText, "&Finish");
  EXPECT_EQ(finishRect.right, client.right - 10);
  EXPECT_EQ(finishRect.bottom, client.bottom - 10);
  EXPECT_EQ(cancelRect.right, finishRect.left - 8);

  const std::string section = CAppSettings::SectionName();
  for (const char* key : {"StartupLoad", "AutorunEnabled", "VisualIndication", "AudioIndication",
                          "SplashScreen", "AlwaysOntop", "DesktopShortcut", "StartShortcut"}) {
    EXPECT_EQ(GetPrivateProfileIntA(section.c_str(), key, -1, settings.c_str()), 1) << key;
    shelltest::CheckRecord::Setting("wizard.ini", section, key, "1");
  }
  EXPECT_EQ(GetPrivateProfileIntA(section.c_str(), "SelectedLanguage", -1, settings.c_str()), 1033);
  shelltest::CheckRecord::Setting("wizard.ini", section, "SelectedLanguage", "1033");
  EXPECT_TRUE(dialogtest::StartupEntryPresent()) << "kind " << shelltest::ExpectedKind();
  const std::string run = std::string("HKCU\\") + dialogtest::kRunKey;
  if (shelltest::ExpectedKind() == 4) {
    shelltest::CheckRecord::NoValue(run, "Tovik");
  } else {
    shelltest::CheckRecord::Value(run, "Tovik", Program());
  }

  const std::string program = Program();
  const std::string folder = program.substr(0, program.rfind('\\'));
  const std::string description = "Tovik Control Panel - Manage and Personalize your Tovik Drive";
  for (int kind : {CAppShortcuts::kDesktop, CAppShortcuts::kStartMenu}) {
    const std::string lnk = dialogtest::ShortcutPath(kind);
    ASSERT_TRUE(shelltest::Exists(lnk)) << lnk;
    shelltest::CheckRecord::Shortcut(lnk, program, "", description, folder, program + ",0");
  }
  const std::string uninstall =
      dialogtest::ShortcutPath(CAppShortcuts::kStartMenu, CAppShortcuts::kUninstallName);
  ASSERT_TRUE(shelltest::Exists(uninstall));
  shelltest::CheckRecord::Shortcut(uninstall, program, "/UNINSTALL", "Uninstall Ovrin", folder,
                                   program + ",1");
}
