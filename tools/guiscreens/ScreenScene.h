// A screenshot's scene as take-screens names it: the window and its state,
// with "-zh" at the end for the same scene in Chinese.
#pragma once

#include <string>

struct ScreenScene {
  std::string name;
  int language = 1033;

  explicit ScreenScene(std::string scene) : name(std::move(scene)) {
    const std::string chinese = "-zh";
    if (name.size() > chinese.size() &&
        name.compare(name.size() - chinese.size(), chinese.size(), chinese) == 0) {
      name.resize(name.size() - chinese.size());
      language = 2052;
    }
  }
};
