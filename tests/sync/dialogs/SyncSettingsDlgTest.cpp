// The sync settings dialog as a real modal window under Wine: what OK checks,
// in which order, what it refuses with which box, what it creates, and the
// pairing it leaves in the database file.
#include "SyncSettingsDlg.h"

#include <gtest/gtest.h>

#include "SyncDB.h"
#include "SyncDialogsTestSupport.h"
#include "SyncText.h"

using syncdlgtest::BoxAnswerer;
using syncdlgtest::ParamsFor;
using synctest::SyncTree;
using tovik::CSyncEngine;
using tovik::CSyncSettingsDlg;
using tovik::SyncLinkRecord;

namespace {

const char* kTitle = "Synchronization Settings";

struct Outcome {
  INT_PTR result = -1;
  std::vector<std::string> boxes;
  bool shown = false;
};

// Fills the two fields, presses OK, and, when the dialog is still open after
// the boxes, presses Cancel.
Outcome PressOk(CSyncSettingsDlg& dialog, const std::string& host, const std::string& drive,
                std::deque<int> answers) {
  BoxAnswerer boxes(std::move(answers));
  Outcome out;
  int stage = 0;
  syncdlgtest::WindowScript script(kTitle, [&](HWND window) {
    if (stage++ == 0) {
      out.shown = true;
      SetDlgItemTextA(window, IDC_HOST_FOLDER, host.c_str());
      SetDlgItemTextA(window, IDC_PDK_FOLDER, drive.c_str());
      PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
      return false;
    }
    // Back after the boxes: the dialog kept itself open.
    PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    return true;
  });
  out.result = dialog.DoModal();
  out.boxes = boxes.Texts();
  return out;
}

bool LinkOf(const SyncTree& tree, SyncLinkRecord& link) {
  CSyncEngine reader;
  reader.SetParams(ParamsFor(tree, "Settings", "S"));
  return reader.GetLink(link);
}

std::string Host(const SyncLinkRecord& link) {
  return tovik::FieldToPath(link.hostFolder, tovik::kSyncPathUnits);
}
std::string Drive(const SyncLinkRecord& link) {
  return tovik::FieldToPath(link.driveFolder, tovik::kSyncPathUnits);
}

}  // namespace

TEST(SyncSettingsDlg, RefusesWhatCannotBeAPairingAndStaysOpen) {
  SyncTree tree(true);
  const std::string hostOnDrive =
      tree.drive().substr(0, 3) + "HostSide" + std::to_string(GetCurrentProcessId()) + "\\";
  SyncTree::makeFolder(hostOnDrive);
  struct Case {
    std::string host, drive;
    std::vector<std::string> boxes;
  } cases[] = {
      {"", tree.drive(), {"Please specify a folder."}},
      {tree.host(), "", {"Please specify a folder."}},
      {hostOnDrive, tree.drive(), {"Please select a valid host path."}},
      {tree.host(), tree.databaseFolder(), {"Please select a valid Tovik Drive path."}},
  };
  for (const Case& c : cases) {
    CSyncEngine engine;
    engine.SetParams(ParamsFor(tree, "Settings", "S"));
    CSyncSettingsDlg dialog(nullptr, engine, 'S');
    const Outcome out = PressOk(dialog, c.host, c.drive, {});
    ASSERT_TRUE(out.shown) << "no window: under Wine set DISPLAY to a running X server";
    EXPECT_EQ(out.result, IDCANCEL) << c.host << " / " << c.drive;
    EXPECT_EQ(out.boxes, c.boxes) << c.host << " / " << c.drive;
    SyncLinkRecord link;
    EXPECT_FALSE(LinkOf(tree, link)) << c.host << " / " << c.drive;
  }
  SyncTree::remove(hostOnDrive);
}

TEST(SyncSettingsDlg, OkStoresThePairingWithTrailingBackslashes) {
  SyncTree tree(true);
  CSyncEngine engine;
  engine.SetParams(ParamsFor(tree, "Settings", "S"));
  CSyncSettingsDlg dialog(nullptr, engine, 'S');
  // Without the trailing "\": OK adds it.
  const std::string host = tree.host().substr(0, tree.host().size() - 1);
  const std::string drive = tree.drive().substr(0, tree.drive().size() - 1);
  const Outcome out = PressOk(dialog, host, drive, {});
  ASSERT_TRUE(out.shown);
  EXPECT_EQ(out.result, IDOK);
  EXPECT_TRUE(out.boxes.empty());
  EXPECT_EQ(dialog.HostFolder(), tree.host());
  EXPECT_EQ(dialog.DriveFolder(), tree.drive());
  SyncLinkRecord link;
  ASSERT_TRUE(LinkOf(tree, link));
  EXPECT_EQ(Host(link), tree.host());
  EXPECT_EQ(Drive(link), tree.drive());
  // On disk the drive folder names the volume's place, not its letter.
  auto db = tovik::sync::Open(tree.databaseFolder(), "Settings", true);
  SyncLinkRecord stored;
  ASSERT_TRUE(db->GetLink(stored));
  EXPECT_EQ(Drive(stored), "0" + tree.drive().substr(1));
}

TEST(SyncSettingsDlg, MissingFoldersAreCreatedWithTheirParentsOnlyWhenTheUserAgrees) {
  SyncTree tree(true);
  const std::string host = tree.host() + "new\\deeper\\";
  const std::string drive = tree.drive() + "fresh\\deeper\\";
  const std::string ask = "The directory %s does not exist.\nWould like to create it?";
  auto asked = [&](const std::string& folder) {
    char text[1024];
    snprintf(text, sizeof(text), ask.c_str(), folder.c_str());
    return std::string(text);
  };
  {
    // Cancel on the first question: nothing made, the dialog stays.
    CSyncEngine engine;
    engine.SetParams(ParamsFor(tree, "Settings", "S"));
    CSyncSettingsDlg dialog(nullptr, engine, 'S');
    const Outcome out = PressOk(dialog, host, drive, {IDCANCEL});
    ASSERT_TRUE(out.shown);
    EXPECT_EQ(out.result, IDCANCEL);
    EXPECT_EQ(out.boxes, std::vector<std::string>{asked(host)});
    EXPECT_FALSE(SyncTree::exists(tree.host() + "new"));
  }
  CSyncEngine engine;
  engine.SetParams(ParamsFor(tree, "Settings", "S"));
  CSyncSettingsDlg dialog(nullptr, engine, 'S');
  const Outcome out = PressOk(dialog, host, drive, {IDOK, IDOK});
  EXPECT_EQ(out.result, IDOK);
  EXPECT_EQ(out.boxes, (std::vector<std::string>{asked(host), asked(drive)}));
  EXPECT_TRUE(SyncTree::exists(host));
  EXPECT_TRUE(SyncTree::exists(drive));
  SyncLinkRecord link;
  ASSERT_TRUE(LinkOf(tree, link));
  EXPECT_EQ(Host(link), host);
  EXPECT_EQ(Drive(link), drive);
}

TEST(SyncSettingsDlg, AnExistingPairingFillsTheFieldsAndIsReplacedOnlyAfterTheWarning) {
  SyncTree tree(true);
  const std::string otherHost = tree.host() + "other\\";
  SyncTree::makeFolder(otherHost);
  CSyncEngine engine;
  engine.SetParams(ParamsFor(tree, "Settings", "S"));
  engine.SetLink(tree.host(), tree.drive());
  SyncLinkRecord link;
  ASSERT_TRUE(engine.GetLink(link));
  const std::string warning =
      "Are you sure you want to synchronize new folders?\n (files will be unharmed but old "
      "synchronization information will be lost)";
  struct Case {
    int answer;
    INT_PTR result;
    std::string hostAfter;
  } cases[] = {{IDCANCEL, IDCANCEL, tree.host()}, {IDOK, IDOK, otherHost}};
  for (const Case& c : cases) {
    CSyncSettingsDlg dialog(nullptr, engine, 'S');
    dialog.SetLink(link);
    BoxAnswerer boxes({c.answer});
    std::string hostField, driveField;
    int stage = 0;
    syncdlgtest::WindowScript script(kTitle, [&](HWND window) {
      if (stage++ == 0) {
        char text[MAX_PATH] = "";
        GetDlgItemTextA(window, IDC_HOST_FOLDER, text, sizeof(text));
        hostField = text;
        GetDlgItemTextA(window, IDC_PDK_FOLDER, text, sizeof(text));
        driveField = text;
        SetDlgItemTextA(window, IDC_HOST_FOLDER, otherHost.c_str());
        PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        return false;
      }
      PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
      return true;
    });
    EXPECT_EQ(dialog.DoModal(), c.result);
    EXPECT_EQ(hostField, tree.host());
    EXPECT_EQ(driveField, tree.drive());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{warning});
    SyncLinkRecord after;
    ASSERT_TRUE(LinkOf(tree, after));
    EXPECT_EQ(Host(after), c.hostAfter);
  }
}
