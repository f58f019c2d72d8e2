// Shared pieces of the sync dialog tests: a folder pair on the movable test
// drive (S:, seen as T: after a move), engine parameters for it, and a
// watcher that answers the skinned message boxes as they come up, keeping
// what each one said.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "SyncEngine.h"
#include "resource.h"
#include "sync/SyncTree.h"

namespace syncdlgtest {

inline std::string Text(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

inline tovik::SyncParams ParamsFor(const synctest::SyncTree& tree, const char* name,
                                   const char* letters) {
  tovik::SyncParams params{};
  strncpy(params.name, name, sizeof(params.name) - 1);
  strncpy(params.databaseFolder, tree.databaseFolder().c_str(), sizeof(params.databaseFolder) - 1);
  strncpy(params.driveLetters, letters, sizeof(params.driveLetters));
  return params;
}

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// The top windows of this thread.
inline std::vector<HWND> ThreadWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, LPARAM(&windows));
  return windows;
}

// One box as it showed: caption, text, and which buttons it offered.
struct SeenBox {
  std::string caption;
  std::string text;
  bool cancelShown = false;
};

// Answers every skinned message box of this thread: the next planned answer
// (IDOK or IDCANCEL), or OK when none is left.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::deque<int> answers = {}) : answers_(std::move(answers)) {
    timer_ = guitest::ThreadTimer(15, [this](UINT_PTR) { Tick(); });
  }
  ~BoxAnswerer() { guitest::KillThreadTimer(timer_); }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  std::vector<SeenBox> seen;
  // Runs when a box is seen, before its answer is posted.
  std::function<void(const SeenBox&)> beforeAnswer;

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const SeenBox& box : seen) texts.push_back(box.text);
    return texts;
  }

 private:
  void Tick() {
    for (HWND window : ThreadWindows()) {
      HWND message = GetDlgItem(window, IDC_MESSAGE_TXT);
      if (message == nullptr || !IsWindowVisible(window) || answered_.count(window) != 0) continue;
      answered_.insert(window);
      SeenBox box{Text(GetDlgItem(window, IDC_CAPTION_CTL)), Text(message),
                  IsWindowVisible(GetDlgItem(window, IDCANCEL)) != FALSE};
      seen.push_back(box);
      if (beforeAnswer) beforeAnswer(box);
      int answer = IDOK;
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      PostMessageA(GetDlgItem(window, answer), BM_CLICK, 0, 0);
    }
  }

  std::deque<int> answers_;
  std::set<HWND> answered_;
  UINT_PTR timer_ = 0;
};

// Runs `step` from the message loop each time `ready` holds for the top window
// of this thread whose title is `title`, until `step` answers true.
class WindowScript {
 public:
  WindowScript(std::string title, std::function<bool(HWND)> step)
      : title_(std::move(title)), step_(std::move(step)) {
    timer_ = guitest::ThreadTimer(20, [this](UINT_PTR) { Tick(); });
  }
  ~WindowScript() { guitest::KillThreadTimer(timer_); }
  WindowScript(const WindowScript&) = delete;
  WindowScript& operator=(const WindowScript&) = delete;
  bool finished = false;

 private:
  void Tick() {
    if (finished || busy_) return;
    for (HWND window : ThreadWindows()) {
      if (!IsWindowVisible(window) || !IsWindowEnabled(window) || Text(window) != title_) continue;
      busy_ = true;
      finished = step_(window);
      busy_ = false;
      return;
    }
  }

  std::string title_;
  std::function<bool(HWND)> step_;
  UINT_PTR timer_ = 0;
  bool busy_ = false;
};

}  // namespace syncdlgtest
