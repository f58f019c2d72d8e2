// The personalisation dialog on an emulated drive the SDK took in, its volume
// a real Wine drive: what it shows, what the user can type and choose, and
// what OK leaves on the drive, read back after the drive was pulled out.
#include "PlundaPreferencesDlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"
#include "PDKProxy.h"
#include "resource.h"

namespace {

using drivetest::DriveTest;
using drivetest::WindowText;
using shelltest::ReadFile;

// The committed artwork the resources are built from, through Wine's Z: drive.
std::string SourceFile(const std::string& relative) {
  std::string path = std::string("Z:") + TOVIK_SOURCE_DIR + "/" + relative;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// Runs `steps` on the open dialog, one per timer tick, then presses `last`
// (OK or Cancel). A file dialog the dialog opens meanwhile is cancelled.
class DialogScript {
 public:
  using Step = std::function<void(HWND)>;
  DialogScript(CDialog& dialog, std::vector<Step> steps, UINT last)
      : dialog_(dialog), steps_(std::move(steps)), last_(last) {
    self() = this;
    timer_ = SetTimer(nullptr, 0, 30, &DialogScript::Tick);
  }
  ~DialogScript() {
    KillTimer(nullptr, timer_);
    self() = nullptr;
  }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;
  int fileDialogsCancelled = 0;

 private:
  static DialogScript*& self() {
    static DialogScript* current = nullptr;
    return current;
  }
  static BOOL CALLBACK CancelFileDialog(HWND window, LPARAM owner) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) &&
        std::string(name) == "#32770" && GetPropA(window, "cancelled") == nullptr) {
      SetPropA(window, "cancelled", reinterpret_cast<HANDLE>(1));
      PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
      ++self()->fileDialogsCancelled;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogScript* s = self();
    HWND window = s == nullptr ? nullptr : s->dialog_.GetSafeHwnd();
    if (window == nullptr || !IsWindowVisible(window)) return;
    EnumThreadWindows(GetCurrentThreadId(), &CancelFileDialog, reinterpret_cast<LPARAM>(window));
    if (s->running_) return;
    s->running_ = true;
    if (s->next_ < s->steps_.size()) {
      s->steps_[s->next_++](window);
    } else if (s->next_ == s->steps_.size()) {
      ++s->next_;
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(s->last_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, int(s->last_))));
    }
    s->running_ = false;
  }

  CDialog& dialog_;
  std::vector<Step> steps_;
  UINT last_;
  size_t next_ = 0;
  bool running_ = false;
  UINT_PTR timer_ = 0;
};

int Selected(HWND dialog, UINT list) {
  return int(SendDlgItemMessageA(dialog, int(list), CB_GETCURSEL, 0, 0));
}

// What the user does by choosing entry `position` of a list.
void Choose(HWND dialog, UINT list, int position) {
  HWND box = GetDlgItem(dialog, int(list));
  SendMessageA(box, CB_SETCURSEL, WPARAM(position), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

TEST(PlundaPreferencesDlg, WithoutADriveTheVersionIsUnknownAndTheLabelTakesEighteen) {
  CPlundaPreferencesDlg dialog;
  std::string version, label, firstIcon, lastSound;
  int iconCount = 0;
  DialogScript script(dialog,
                      {[&](HWND d) {
                        version = WindowText(GetDlgItem(d, IDC_PDK_VERSION_STR));
                        HWND field = GetDlgItem(d, IDC_SET_PDK_LABEL_EDIT);
                        for (int i = 0; i < 19; ++i) SendMessageA(field, WM_CHAR, 'a' + i, 0);
                        label = WindowText(field);
                        iconCount = int(SendDlgItemMessageA(d, IDC_ICON_COMBOBOXEX, CB_GETCOUNT, 0, 0));
                        char text[64] = "";
                        COMBOBOXEXITEMA item{};
                        item.mask = CBEIF_TEXT;
                        item.pszText = text;
                        item.cchTextMax = sizeof text;
                        item.iItem = 1;
                        SendDlgItemMessageA(d, IDC_ICON_COMBOBOXEX, CBEM_GETITEMA, 0,
                                            reinterpret_cast<LPARAM>(&item));
                        firstIcon = text;
                        item.iItem = 10;
                        SendDlgItemMessageA(d, IDC_SOUND_COMBOBOXEX, CBEM_GETITEMA, 0,
                                            reinterpret_cast<LPARAM>(&item));
                        lastSound = text;
                      }},
                      IDOK);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(version, "Tovik Drive Version:  Unknown");
  EXPECT_EQ(label, "abcdefghijklmnopqr");
  EXPECT_EQ(iconCount, 12);
  EXPECT_EQ(firstIcon, "Icon - 1");
  EXPECT_EQ(lastSound, "Sound - 10");
}

class PlundaPreferencesDlgTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    drive = &MakeDrive(drivetest::DriveConfig("0F3B27220051"));
    id = PlugInserted(*drive);
    ASSERT_GE(id, 0);
  }
  CPDKProxy& Proxy() { return manager->GetProxy(id); }

  emu::CEmulatedDrive* drive = nullptr;
  int id = -1;
};

TEST_F(PlundaPreferencesDlgTest, BrowsingThenCancellingGoesBackToDefault) {
  for (UINT list : {UINT(IDC_ICON_COMBOBOXEX), UINT(IDC_SOUND_COMBOBOXEX)}) {
    SCOPED_TRACE(list);
    CPlundaPreferencesDlg dialog;
    dialog.SetProxy(&Proxy());
    int after = -1;
    DialogScript script(dialog,
                        {[&](HWND d) { Choose(d, list, 3); },
                         [&](HWND d) { Choose(d, list, CPlundaPreferencesDlg::kBrowsePosition); },
                         [&](HWND d) { after = Selected(d, list); }},
                        IDOK);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(script.fileDialogsCancelled, 1);
    EXPECT_EQ(after, 0);
  }
}

TEST_F(PlundaPreferencesDlgTest, OkWithTheIconListUntouchedDoesNotWriteTheIconAgain) {
  ASSERT_TRUE(Proxy().SetPersonalIcon("", IDI_DRIVE_1 + 2, 3));
  // A mark in the file tells whether it was written again.
  const std::string file = Proxy().PersonalIconPath();
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(drivetest::WriteText(file, "mark"));
  CPlundaPreferencesDlg dialog;
  dialog.SetProxy(&Proxy());
  int opened = -1;
  DialogScript script(dialog, {[&](HWND d) { opened = Selected(d, IDC_ICON_COMBOBOXEX); }}, IDOK);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(opened, 3);
  EXPECT_EQ(ReadFile(file), "mark");
}

TEST_F(PlundaPreferencesDlgTest, LabelIconAndSoundAreOnTheDriveAfterAPullOut) {
  {
    CPlundaPreferencesDlg dialog;
    dialog.SetProxy(&Proxy());
    DialogScript script(dialog,
                        {[&](HWND d) {
                          Choose(d, IDC_ICON_COMBOBOXEX, 4);
                          Choose(d, IDC_SOUND_COMBOBOXEX, 6);
                          SetDlgItemTextA(d, IDC_SET_PDK_LABEL_EDIT, "Weekend");
                        }},
                        IDOK);
    EXPECT_EQ(dialog.DoModal(), IDOK);
  }
  Unplug(*drive);
  EXPECT_TRUE(drivetest::PumpUntil([&] { return !manager->GetProxy(id).IsValid(); }));
  id = PlugInserted(*drive);
  ASSERT_GE(id, 0);

  std::string label;
  EXPECT_EQ(Proxy().GetLabel(label), CPDKProxy::kPersonalSet);
  EXPECT_EQ(label, "Weekend");
  HICON icon = nullptr;
  int index = -1;
  ASSERT_EQ(Proxy().GetPersonalIcon(icon, index), CPDKProxy::kPersonalSet);
  if (icon != nullptr) DestroyIcon(icon);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(ReadFile(Proxy().PersonalIconPath()), ReadFile(SourceFile("res/icons/drive_4.ico")));
  std::string sound;
  ASSERT_EQ(Proxy().GetPersonalSound(sound, index), CPDKProxy::kPersonalSet);
  EXPECT_EQ(index, 6);
  EXPECT_EQ(ReadFile(sound), ReadFile(SourceFile("res/sounds/sound_6.wav")));

  // Opened again, the dialog shows what the drive keeps.
  char revision[64] = "";
  uint32_t length = sizeof revision;
  ASSERT_EQ(Proxy().Device()->getRevision(revision, length), pdk::kOk);
  CPlundaPreferencesDlg dialog;
  dialog.SetProxy(&Proxy());
  int iconAt = -1, soundAt = -1;
  std::string shownLabel, version;
  DialogScript script(dialog,
                      {[&](HWND d) {
                        iconAt = Selected(d, IDC_ICON_COMBOBOXEX);
                        soundAt = Selected(d, IDC_SOUND_COMBOBOXEX);
                        shownLabel = WindowText(GetDlgItem(d, IDC_SET_PDK_LABEL_EDIT));
                        version = WindowText(GetDlgItem(d, IDC_PDK_VERSION_STR));
                      }},
                      IDCANCEL);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(iconAt, 4);
  EXPECT_EQ(soundAt, 6);
  EXPECT_EQ(shownLabel, "Weekend");
  EXPECT_EQ(version, std::string("Tovik Drive Version: ") + revision);
}

}  // namespace
