// The small dialog framework: modeless and modal dialogs from a template,
// the modal loop and its result, dispatch to the virtual handlers, timers,
// control access by id, exceptions kept inside, and the application's start.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "GUI/Application.h"
#include "GUI/Dialog.h"
#include "GuiTestSupport.h"

namespace {

using guitest::Pump;

// A dialog whose handlers the test fills in.
class ScriptedDialog : public CDialog {
 public:
  explicit ScriptedDialog(HWND parent = nullptr) : CDialog(IDD_TEST_LAYOUT, parent) {}
  std::function<void(ScriptedDialog&)> onInit;
  std::function<void(ScriptedDialog&, UINT_PTR)> onTimer;
  std::vector<std::pair<UINT, UINT>> commands;
  bool throwOnCommand = false;
  int okCount = 0;

  using CDialog::EndDialog;

 protected:
  BOOL OnInitDialog() override {
    if (onInit) onInit(*this);
    return TRUE;
  }
  void OnTimer(UINT_PTR id) override {
    if (onTimer) onTimer(*this, id);
  }
  bool OnCommand(UINT id, UINT code, HWND control) override {
    commands.emplace_back(id, code);
    if (throwOnCommand) throw std::runtime_error("handler failed");
    return CDialog::OnCommand(id, code, control);
  }
  void OnOK() override {
    ++okCount;
    CDialog::OnOK();
  }
};

TEST(Dialog, ModelessDialogComesFromItsTemplateAndEndsByDestroying) {
  ScriptedDialog dialog;
  bool initialised = false;
  dialog.onInit = [&](ScriptedDialog& d) { initialised = d.GetDlgItem(IDC_TEST_FIXED) != nullptr; };
  ASSERT_DISPLAY(dialog.Create() ? dialog.GetSafeHwnd() : nullptr);
  EXPECT_TRUE(initialised);
  EXPECT_EQ(CWnd::FromHandle(dialog.GetSafeHwnd()), &dialog);
  EXPECT_FALSE(dialog.Create());
  HWND window = dialog.GetSafeHwnd();
  dialog.EndDialog(IDOK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, MissingTemplateIsReported) {
  CDialog dialog(4246);
  EXPECT_FALSE(dialog.Create());
  EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(Dialog, DoModalRunsItsOwnLoopUntilEndDialogAndKeepsTheParentDisabled) {
  ScriptedDialog parent;
  ASSERT_DISPLAY(parent.Create() ? parent.GetSafeHwnd() : nullptr);
  ScriptedDialog dialog(parent.GetSafeHwnd());
  bool parentDisabled = false;
  int ticks = 0;
  dialog.onInit = [](ScriptedDialog& d) { d.SetTimer(7, 10); };
  dialog.onTimer = [&](ScriptedDialog& d, UINT_PTR id) {
    if (id != 7 || ++ticks < 3) return;
    parentDisabled = !IsWindowEnabled(parent.GetSafeHwnd());
    d.KillTimer(7);
    d.EndDialog(42);
  };
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(parentDisabled);
  EXPECT_TRUE(IsWindowEnabled(parent.GetSafeHwnd()));
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, ClickOnOkGoesThroughCommandDispatchToOnOk) {
  ScriptedDialog dialog;
  dialog.onInit = [](ScriptedDialog& d) { d.SetTimer(1, 10); };
  dialog.onTimer = [](ScriptedDialog& d, UINT_PTR) {
    d.KillTimer(1);
    // The test dialog has no OK button: give it one, as a template would.
    HWND ok = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5, 50,
                              20, d.GetSafeHwnd(), reinterpret_cast<HMENU>(IDOK), nullptr, nullptr);
    SendMessageA(ok, BM_CLICK, 0, 0);
  };
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.okCount, 1);
  ASSERT_FALSE(dialog.commands.empty());
  EXPECT_EQ(dialog.commands.back(), std::make_pair(UINT(IDOK), UINT(BN_CLICKED)));
}

TEST(Dialog, EscapeInTheModalLoopCancels) {
  ScriptedDialog dialog;
  dialog.onInit = [](ScriptedDialog& d) { d.SetTimer(1, 10); };
  dialog.onTimer = [](ScriptedDialog& d, UINT_PTR) {
    d.KillTimer(1);
    PostMessageA(d.GetDlgItem(IDC_TEST_LEFT), WM_KEYDOWN, VK_ESCAPE, 0);
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST(Dialog, QuitMessageEndsTheModalLoopAndIsKeptForTheOuterLoop) {
  ScriptedDialog dialog;
  dialog.onInit = [](ScriptedDialog&) { PostQuitMessage(3); };
  EXPECT_EQ(dialog.DoModal(), -1);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Dialog, ExceptionInAHandlerStaysInsideTheDialog) {
  ScriptedDialog dialog;
  ASSERT_DISPLAY(dialog.Create() ? dialog.GetSafeHwnd() : nullptr);
  dialog.throwOnCommand = true;
  SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_LEFT, BN_CLICKED), 0);
  const std::vector<std::pair<UINT, UINT>> want{{IDC_TEST_LEFT, BN_CLICKED}};
  EXPECT_EQ(dialog.commands, want);
  EXPECT_TRUE(dialog.IsWindow());
}

TEST(Dialog, NotificationsAndTimersReachTheirHandlers) {
  ScriptedDialog dialog;
  std::vector<UINT_PTR> timers;
  dialog.onTimer = [&](ScriptedDialog&, UINT_PTR id) { timers.push_back(id); };
  ASSERT_DISPLAY(dialog.Create() ? dialog.GetSafeHwnd() : nullptr);
  ASSERT_TRUE(dialog.SetTimer(5, 10));
  ASSERT_TRUE(Pump(2000, [&] { return timers.size() >= 2; }));
  dialog.KillTimer(5);
  for (UINT_PTR id : timers) EXPECT_EQ(id, 5u);
}

class TestApplication : public CApplication {
 public:
  bool sawCurrent = false;
  INT_PTR modalResult = 0;

 protected:
  bool InitInstance() override {
    sawCurrent = CApplication::Current() == this && Instance() == GetModuleHandleA(nullptr);
    // The main window is made modeless and then runs the only message loop.
    ScriptedDialog main;
    main.onInit = [](ScriptedDialog& d) { d.SetTimer(9, 10); };
    main.onTimer = [](ScriptedDialog& d, UINT_PTR) { d.EndDialog(17); };
    if (!main.Create()) return false;
    modalResult = main.RunModalLoop();
    return true;
  }
  int ExitInstance() override { return int(modalResult) + 1; }
};

TEST(Application, StartRoutineRunsTheMainWindowLoopAndEndsWithExitInstance) {
  TestApplication app;
  EXPECT_EQ(app.Run(GetModuleHandleA(nullptr), "/TEST"), 18);
  EXPECT_TRUE(app.sawCurrent);
  EXPECT_EQ(app.modalResult, 17);
  EXPECT_EQ(app.CommandLine(), "/TEST");
}

}  // namespace
