// The sync window as a real modal window under Wine, over real files on C:
// and on the test drive S:: what a scan lists, an alternative chosen from the
// context menu, the run with its boxes, a failing action, and closing while
// a run goes on.
#include "SyncDlg.h"

#include <gtest/gtest.h>

#include <memory>

#include "SyncDialogsTestSupport.h"

using syncdlgtest::BoxAnswerer;
using syncdlgtest::ParamsFor;
using syncdlgtest::WindowScript;
using synctest::kBaseTime;
using synctest::kSecond;
using synctest::SyncTree;
using tovik::CSyncAction;
using tovik::CSyncDlg;
using tovik::CSyncEngine;

namespace {

const char* kTitle = "Synchronization Details";
const std::string kComplete = "Synchronizartion complete";

HWND List(HWND window) { return GetDlgItem(window, IDC_ACTIONS_LIST); }
int Count(HWND window) { return int(SendMessageA(List(window), LB_GETCOUNT, 0, 0)); }
CSyncAction* ActionAt(HWND window, int item) {
  return reinterpret_cast<CSyncAction*>(SendMessageA(List(window), LB_GETITEMDATA, item, 0));
}
// The one status line the list shows, or "" while it lists actions.
std::string Status(HWND window) {
  if (Count(window) != 1 || ActionAt(window, 0) != nullptr) return std::string();
  char text[512] = "";
  SendMessageA(List(window), LB_GETTEXT, 0, LPARAM(text));
  return text;
}
void Click(HWND window, int id) { PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
bool Enabled(HWND window, int id) { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }

// An engine on the tree's pair, linked.
std::unique_ptr<CSyncEngine> LinkedEngine(const SyncTree& tree, const char* letters = "S") {
  auto engine = std::make_unique<CSyncEngine>();
  engine->SetParams(ParamsFor(tree, "Window", letters));
  engine->SetLink(tree.host(), tree.drive());
  return engine;
}

// What a fresh engine proposes now, by host path.
std::map<std::string, tovik::SyncActionKind> Proposals(const SyncTree& tree) {
  CSyncEngine engine;
  engine.SetParams(ParamsFor(tree, "Window", "S"));
  CSyncAction* const* actions = nullptr;
  int count = 0;
  engine.Prepare(actions, count);
  std::map<std::string, tovik::SyncActionKind> out;
  for (int i = 0; i < count; ++i) out[actions[i]->GetHostPath()] = actions[i]->GetKind();
  return out;
}

}  // namespace

TEST(SyncDlg, WithNoDifferencesOnlyTheStatusShowsAndEnterEscapeAndCloseDoNothing) {
  SyncTree tree(true);
  SyncTree::write(tree.host() + "same.txt", "same", kBaseTime);
  SyncTree::write(tree.drive() + "same.txt", "same", kBaseTime);
  {
    // A first run records the pair (a copy direction chosen for it).
    auto engine = LinkedEngine(tree);
    CSyncAction* const* actions = nullptr;
    int count = 0;
    engine->Prepare(actions, count);
    ASSERT_EQ(count, 1);
    ASSERT_TRUE(actions[0]->SetKind(tovik::CopyToDrive));
    engine->Start(true);
  }
  auto engine = std::make_unique<CSyncEngine>();
  engine->SetParams(ParamsFor(tree, "Window", "S"));
  CSyncDlg dialog(nullptr, *engine, 'S');
  std::string status;
  bool synchronizeEnabled = true, openAfterKeys = false;
  int stage = 0;
  WindowScript script(kTitle, [&](HWND window) {
    if (stage == 0) {
      if (Count(window) == 0) return false;  // the scan comes 100 ms after opening
      status = Status(window);
      synchronizeEnabled = Enabled(window, IDC_SYNCHRONIZE);
      for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageA(List(window), WM_KEYDOWN, key, 0);
        PostMessageA(List(window), WM_KEYUP, key, 0);
      }
      SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
      ++stage;
      return false;
    }
    openAfterKeys = true;
    Click(window, IDC_CLOSE);
    return true;
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  engine.reset();
  EXPECT_TRUE(openAfterKeys);
  EXPECT_EQ(status, "Your folders are synchronized");
  EXPECT_FALSE(synchronizeEnabled);
}

TEST(SyncDlg, AFirstSynchronisationWithAnAlternativeChosenFromTheMenu) {
  SyncTree tree(true);
  SyncTree::write(tree.host() + "a.txt", "host a", kBaseTime);
  SyncTree::write(tree.drive() + "b.txt", "drive b", kBaseTime);
  SyncTree::write(tree.host() + "c.txt", "host c", kBaseTime + 10 * kSecond);
  SyncTree::write(tree.drive() + "c.txt", "drive c", kBaseTime);
  auto engine = LinkedEngine(tree);
  CSyncDlg dialog(nullptr, *engine, 'S');
  BoxAnswerer boxes;
  std::map<std::string, tovik::SyncActionKind> listed;
  COLORREF createIcon = 0;
  std::vector<UINT> menuIds;
  tovik::SyncActionKind chosen = tovik::Skip;
  std::string status;
  int progress = -1;
  int stage = 0;
  UINT_PTR menuWatch = 0;
  WindowScript script(kTitle, [&](HWND window) {
    switch (stage) {
      case 0: {
        if (Count(window) < 3) return false;
        int c = -1;
        for (int i = 0; i < Count(window); ++i) {
          const std::string host = ActionAt(window, i)->GetHostPath();
          listed[host.substr(tree.host().size())] = ActionAt(window, i)->GetKind();
          if (host == tree.host() + "c.txt") c = i;
          if (host == tree.host() + "a.txt") {
            // Inside the body of the green arrow of "Create" on the drive.
            RECT r{};
            SendMessageA(List(window), LB_GETITEMRECT, WPARAM(i), LPARAM(&r));
            // The list paints itself into a bitmap of ours, whatever covers the screen.
            HDC screen = GetDC(List(window));
            HDC memory = CreateCompatibleDC(screen);
            RECT client{};
            GetClientRect(List(window), &client);
            HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
            HGDIOBJ old = SelectObject(memory, bitmap);
            SendMessageA(List(window), WM_PRINTCLIENT, WPARAM(memory), PRF_CLIENT | PRF_ERASEBKGND);
            createIcon = GetPixel(memory, r.left + 234 + 17, r.top + 14 + 18);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            ReleaseDC(List(window), screen);
          }
        }
        // The menu of the selected item: read its entries, then choose one.
        menuWatch = guitest::ThreadTimer(20, [&, window](UINT_PTR id) {
          HWND menu = FindWindowA("#32768", nullptr);
          if (menu == nullptr || !IsWindowVisible(menu)) return;
          guitest::KillThreadTimer(id);
          HMENU items = HMENU(SendMessageA(menu, MN_GETHMENU, 0, 0));
          for (int i = 0; i < GetMenuItemCount(items); ++i)
            menuIds.push_back(GetMenuItemID(items, i));
          EndMenu();
          PostMessageA(window, WM_COMMAND, ID_SYNC_ALTERNATIVE + tovik::CopyToDrive, 0);
        });
        SendMessageA(List(window), LB_SETCURSEL, WPARAM(c), 0);
        RECT r{};
        SendMessageA(List(window), LB_GETITEMRECT, WPARAM(c), LPARAM(&r));
        PostMessageA(List(window), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(r.left + 5, r.top + 5));
        PostMessageA(List(window), WM_RBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 5));
        ++stage;
        return false;
      }
      case 1: {
        const int c = int(SendMessageA(List(window), LB_GETCURSEL, 0, 0));
        if (ActionAt(window, c)->GetKind() == tovik::Skip) return false;
        chosen = ActionAt(window, c)->GetKind();
        Click(window, IDC_SYNCHRONIZE);
        ++stage;
        return false;
      }
      default:
        if (Status(window).empty()) return false;
        status = Status(window);
        progress = int(SendMessageA(GetDlgItem(window, IDC_SYNC_PROGRESS), PBM_GETPOS, 0, 0));
        Click(window, IDC_CLOSE);
        return true;
    }
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  guitest::KillThreadTimer(menuWatch);
  engine.reset();
  using tovik::SyncActionKind;
  EXPECT_EQ(listed, (std::map<std::string, SyncActionKind>{{"a.txt", tovik::CreateOnDrive},
                                                           {"b.txt", tovik::CreateOnHost},
                                                           {"c.txt", tovik::Skip}}));
  // Skip's alternatives, separated.
  EXPECT_EQ(menuIds, (std::vector<UINT>{ID_SYNC_ALTERNATIVE + tovik::CopyToDrive, 0u,
                                        ID_SYNC_ALTERNATIVE + tovik::CopyToHost}));
  // The action's own icon, not another icon of the program.
  EXPECT_GT(GetGValue(createIcon), GetRValue(createIcon) + 50);
  EXPECT_GT(GetGValue(createIcon), GetBValue(createIcon) + 50);
  EXPECT_EQ(chosen, tovik::CopyToDrive);
  EXPECT_EQ(progress, 100);
  EXPECT_EQ(status, kComplete);
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].text, kComplete);
  EXPECT_EQ(boxes.seen[0].caption, " Tovik Control Panel");
  EXPECT_EQ(SyncTree::read(tree.drive() + "a.txt"), "host a");
  EXPECT_EQ(SyncTree::read(tree.host() + "b.txt"), "drive b");
  EXPECT_EQ(SyncTree::read(tree.drive() + "c.txt"), "host c");
  // The database the run left behind reads back: nothing more to do.
  EXPECT_TRUE(Proposals(tree).empty());
}

TEST(SyncDlg, AFailingActionAsksWhetherToGoOn) {
  struct Case {
    int answer;
    std::string status;
    bool otherCopied;
  } cases[] = {{IDCANCEL, "The synchronization procedure was aborted.", false},
               {IDOK, kComplete, true}};
  for (const Case& c : cases) {
    SyncTree tree(true);
    // The locked file is the one that fails, wherever the walk puts it.
    SyncTree::write(tree.host() + "locked.txt", "locked", kBaseTime);
    SyncTree::write(tree.host() + "other.txt", "other", kBaseTime);
    HANDLE lock = CreateFileA((tree.host() + "locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    auto engine = LinkedEngine(tree);
    CSyncDlg dialog(nullptr, *engine, 'S');
    BoxAnswerer boxes({c.answer});
    std::string status;
    bool synchronizeEnabled = true;
    int stage = 0;
    WindowScript script(kTitle, [&](HWND window) {
      if (stage == 0) {
        if (Count(window) < 2) return false;
        Click(window, IDC_SYNCHRONIZE);
        ++stage;
        return false;
      }
      if (Status(window).empty()) return false;
      status = Status(window);
      synchronizeEnabled = Enabled(window, IDC_SYNCHRONIZE);
      Click(window, IDC_CLOSE);
      return true;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    engine.reset();
    CloseHandle(lock);
    ASSERT_FALSE(boxes.seen.empty());
    EXPECT_EQ(boxes.seen[0].text, "Could not Create " + tree.drive() +
                                      "locked.txt\nWould you like to continue synchronizing?");
    EXPECT_EQ(boxes.seen[0].caption, " Tovik Control Panel Error");
    EXPECT_TRUE(boxes.seen[0].cancelShown);
    EXPECT_EQ(status, c.status) << c.answer;
    EXPECT_FALSE(synchronizeEnabled);
    EXPECT_FALSE(SyncTree::exists(tree.drive() + "locked.txt"));
    if (c.otherCopied) {
      EXPECT_EQ(boxes.Texts().back(), kComplete);
      EXPECT_TRUE(SyncTree::exists(tree.drive() + "other.txt"));
    } else {
      EXPECT_EQ(boxes.seen.size(), 1u);
    }
  }
}

TEST(SyncDlg, ClosingDuringARunStopsAfterTheCurrentActionAndLeavesADatabaseThatReadsBack) {
  SyncTree tree(true);
  const int files = 12;
  for (int i = 0; i < files; ++i) {
    SyncTree::write(tree.host() + "f" + std::to_string(i) + ".txt", std::to_string(i), kBaseTime);
  }
  const std::string locked = tree.host() + "f5-locked.txt";
  SyncTree::write(locked, "locked", kBaseTime);
  HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  auto engine = LinkedEngine(tree);
  CSyncDlg dialog(nullptr, *engine, 'S');
  HWND sync = nullptr;
  std::vector<std::string> order;
  // The user presses Close just as the failure box comes up: the click waits
  // behind the box, which is then answered with OK ("go on").
  BoxAnswerer boxes;
  boxes.beforeAnswer = [&](const syncdlgtest::SeenBox& box) {
    if (box.text.rfind("Could not", 0) == 0) Click(sync, IDC_CLOSE);
  };
  WindowScript script(kTitle, [&](HWND window) {
    if (Count(window) < files + 1) return false;
    for (int i = 0; i < Count(window); ++i) order.push_back(ActionAt(window, i)->GetHostPath());
    sync = window;
    Click(window, IDC_SYNCHRONIZE);
    return true;
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_FALSE(dialog.Running());
  engine.reset();
  CloseHandle(lock);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Could not Create " + tree.drive() +
                                                    "f5-locked.txt\nWould you like to continue "
                                                    "synchronizing?"});
  // The files before the failing one were carried out and recorded; none after it.
  const auto left = Proposals(tree);
  bool before = true;
  for (const std::string& host : order) {
    if (host == locked) before = false;
    const std::string drive = tree.drive() + host.substr(tree.host().size());
    EXPECT_EQ(SyncTree::exists(drive), before && host != locked) << host;
    EXPECT_EQ(left.count(host), before && host != locked ? 0u : 1u) << host;
  }
  for (const auto& proposal : left) EXPECT_EQ(proposal.second, tovik::CreateOnDrive);
  // There was something left to stop.
  EXPECT_NE(order.back(), locked);
}

TEST(SyncDlg, NewFoldersFromTheSettingsAreScannedAtOnce) {
  SyncTree tree(true);
  const std::string other = tree.host() + "other\\";
  SyncTree::write(tree.host() + "first.txt", "first", kBaseTime);
  SyncTree::write(other + "second.txt", "second", kBaseTime);
  const std::string otherDrive = tree.drive() + "other\\";
  SyncTree::makeFolder(otherDrive);
  auto engine = LinkedEngine(tree);
  CSyncDlg dialog(nullptr, *engine, 'S');
  BoxAnswerer boxes;  // the new-folders warning: OK
  std::vector<std::string> before, after;
  bool settingsShown = false;
  WindowScript settings("Synchronization Settings", [&](HWND window) {
    settingsShown = true;
    SetDlgItemTextA(window, IDC_HOST_FOLDER, other.c_str());
    SetDlgItemTextA(window, IDC_PDK_FOLDER, otherDrive.c_str());
    Click(window, IDOK);
    return true;
  });
  int stage = 0;
  WindowScript script(kTitle, [&](HWND window) {
    if (Count(window) == 0) return false;
    std::vector<std::string>& seen = stage == 0 ? before : after;
    seen.clear();
    for (int i = 0; i < Count(window); ++i) {
      if (ActionAt(window, i) != nullptr) seen.push_back(ActionAt(window, i)->GetHostPath());
    }
    if (stage == 0) {
      ++stage;
      Click(window, IDC_SETTINGS);
      return false;
    }
    if (seen == before) return false;  // the new scan comes 100 ms after the settings
    Click(window, IDC_CLOSE);
    return true;
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  engine.reset();
  EXPECT_TRUE(settingsShown);
  // The first scan walks the subfolder too; the second only the new pair.
  EXPECT_NE(std::find(before.begin(), before.end(), tree.host() + "first.txt"), before.end());
  EXPECT_EQ(after, std::vector<std::string>{other + "second.txt"});
  ASSERT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].text.rfind("Are you sure you want to synchronize new folders?", 0), 0u);
}
