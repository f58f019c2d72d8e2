#include "AutorunText.h"

#include "ProfileText.h"

const CAutorunText::Key CAutorunText::kKeys[kKeyCount] = {
    {"open", Action::kOpen},        {"icon", Action::kIcon},
    {"defaulticon", Action::kIcon}, {"shell", Action::kNone},
    {"shell\\verb", Action::kNone}, {"shell\\verb\\command", Action::kNone},
};

CAutorunText::Launch CAutorunText::ParseOpen(const std::string& root, const std::string& value) {
  const auto bar = value.find('|');
  if (bar != std::string::npos) return {std::string(), value.substr(0, bar), value.substr(bar + 1)};
  return {root + value, value, std::string()};
}

CAutorunText::Icon CAutorunText::ParseIcon(const std::string& root, const std::string& value) {
  Icon icon{value, 0};
  const auto comma = value.find(',');
  if (comma != std::string::npos && comma != 0) {
    icon.file = value.substr(0, comma);
    icon.index = static_cast<unsigned>(CProfileText::Number(value.substr(comma + 1)));
  }
  if (icon.file.size() < 2 || icon.file[1] != ':') icon.file = root + icon.file;
  return icon;
}
