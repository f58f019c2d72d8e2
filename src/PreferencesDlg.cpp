#include "PreferencesDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <tuple>

#include "AppSettings.h"
#include "AppShortcuts.h"
#include "GUI/Application.h"
#include "StringLoader.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

namespace {
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);

struct Switch {
  UINT id;
  const char* key;
  UINT textId;
  UINT tipId;
};
// The settings the check boxes stand for, in the order OK stores them.
const Switch kSwitches[] = {
    {IDC_STARTUP_ON_CHECK, "StartupLoad", IDS_PREF_STARTUP, IDS_PREF_STARTUP_TIP},
    {IDC_AUTORAN_ON_CHECK, "AutorunEnabled", IDS_PREF_AUTORUN, IDS_PREF_AUTORUN_TIP},
    {IDC_VISUAL_ON_CHECK, "VisualIndication", IDS_PREF_VISUAL, IDS_PREF_VISUAL_TIP},
    {IDC_AUDIO_ON_CHECK, "AudioIndication", IDS_PREF_AUDIO, IDS_PREF_AUDIO_TIP},
    {IDC_SPLASH_ON_CHECK, "SplashScreen", IDS_PREF_SPLASH, IDS_PREF_SPLASH_TIP},
    {IDC_ALWAYS_ONTOP_ON_CHECK, "AlwaysOntop", IDS_PREF_ONTOP, IDS_PREF_ONTOP_TIP},
};
struct ShortcutBox {
  UINT id;
  const char* key;
  UINT textId;
  UINT tipId;
  int kind;
};
const ShortcutBox kShortcutBoxes[] = {
    {IDC_DESKTOP_SC_CHECK, "DesktopShortcut", IDS_PREF_DESKTOP, IDS_PREF_DESKTOP_TIP,
     CAppShortcuts::kDesktop},
    {IDC_START_SC_CHECK, "StartShortcut", IDS_PREF_START, IDS_PREF_START_TIP,
     CAppShortcuts::kStartMenu},
};
}  // namespace

CPreferencesDlg::CPreferencesDlg(HWND parent, const std::string& programPath)
    : CGUIDialog(IDD_PREFERENCES_DIALOG, parent), programPath_(programPath) {}

CPreferencesDlg::~CPreferencesDlg() {
  for (auto& font : fonts_) DeleteObject(font.second);
}

std::vector<WORD> CPreferencesDlg::OfferedLanguages() {
  std::vector<WORD> languages = CStringLoader::ResourceLanguages();
  if (std::find(languages.begin(), languages.end(), CStringLoader::kEnglish) == languages.end()) {
    languages.insert(languages.begin(), CStringLoader::kEnglish);
  }
  return languages;
}

WORD CPreferencesDlg::InitialLanguage(int stored) {
  const WORD wanted = stored == 0 ? GetSystemDefaultLangID() : WORD(stored);
  const std::vector<WORD> offered = OfferedLanguages();
  return std::find(offered.begin(), offered.end(), wanted) != offered.end()
             ? wanted
             : CStringLoader::kEnglish;
}

BYTE CPreferencesDlg::CharSetOf(WORD language) {
  switch (language) {
    case 1028:
      return CHINESEBIG5_CHARSET;
    case 1041:
      return SHIFTJIS_CHARSET;
    case 2052:
      return GB2312_CHARSET;
    default:
      return ANSI_CHARSET;
  }
}

HFONT CPreferencesDlg::FontFor(WORD language) {
  const BYTE charSet = CharSetOf(language);
  for (const auto& font : fonts_) {
    if (font.first == charSet) return font.second;
  }
  // The system picks a face that has the character set's glyphs.
  HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charSet,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, charSet == ANSI_CHARSET ? "Tahoma" : "");
  fonts_.emplace_back(charSet, font);
  return font;
}

BOOL CPreferencesDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  openingLanguage_ = CStringLoader::CurrentLanguage();
  SetPanelColors(kPanel, kText);
  SetIconResource(IDI_APPLICATION_ICON);
  SetSkin(IDG_PREFERENCES_SKIN);
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 18, 1, 308);
  SetControlInfo(IDC_CLOSE_BUTTON, "IDC_CLOSE_BUTTON", 3, 16, 291, 304);
  SetControlInfo(IDC_PAKKEO_PREFERENCES_INTRO, "IDC_PAKKEO_PREFERENCES_INTRO", 33, 49, 29, 208);
  SetControlInfo(IDC_VISUAL_ON_CHECK, "IDC_VISUAL_ON_CHECK", 63, 80, 29, 251);
  SetControlInfo(IDC_AUDIO_ON_CHECK, "IDC_AUDIO_ON_CHECK", 86, 103, 29, 251);
  SetControlInfo(IDC_SPLASH_ON_CHECK, "IDC_SPLASH_ON_CHECK", 109, 126, 29, 251);
  SetControlInfo(IDC_AUTORAN_ON_CHECK, "IDC_AUTORAN_ON_CHECK", 132, 149, 29, 251);
  SetControlInfo(IDC_STARTUP_ON_CHECK, "IDC_STARTUP_ON_CHECK", 154, 171, 29, 251);
  SetControlInfo(IDC_DESKTOP_SC_CHECK, "IDC_DESKTOP_SC_CHECK", 177, 194, 29, 251);
  SetControlInfo(IDC_ALWAYS_ONTOP_ON_CHECK, "IDC_ALWAYS_ONTOP_ON_CHECK", 202, 219, 29, 251);
  SetControlInfo(IDC_START_SC_CHECK, "IDC_START_SC_CHECK", 224, 241, 29, 251);
  SetControlInfo(IDC_LANGUAGE_PREFERENCES_INTRO, "IDC_LANGUAGE_PREFERENCES_INTRO", 267, 283, 29,
                 208);
  SetResizableControlInfo(IDC_LANGUAGE_SELECT_COMBO, "IDC_LANGUAGE_SELECT_COMBO", 291, 312, 29, 134,
                          true);
  SetControlInfo(IDC_LANGUAGE_SAMPLE, "IDC_LANGUAGE_SAMPLE", 293, 317, 143, 290);
  SetResizableControlInfo(IDOK, "IDOK", 0, 24, 218, 272, true);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, 24, 276, 330, true);
  SetAnchor(IDCANCEL, CControlInfo::kBottom | CControlInfo::kRight, 8);
  SetLeftNeighbour(IDOK, IDCANCEL, 8);
  ApplySkinAndLayout();
  SetShape(IDB_PREFERENCES_SHAPE);

  CAppSettings settings;
  for (const Switch& s : kSwitches) {
    CheckDlgButton(hwnd_, int(s.id),
                   settings.ReadSetting(s.key) != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
  // What is on disk counts, not what was asked for once.
  for (const ShortcutBox& box : kShortcutBoxes) {
    CheckDlgButton(hwnd_, int(box.id),
                   CAppShortcuts::Exists(box.kind) ? BST_CHECKED : BST_UNCHECKED);
  }
  FillLanguages();
  SelectLanguage(InitialLanguage(settings.ReadSetting("SelectedLanguage")));

  // Texts in the language the dialog opened with.
  const WORD language = CStringLoader::CurrentLanguage();
  HFONT font = FontFor(language);
  const std::string title = CStringLoader::LoadString(IDS_CAPTION_PROGRAM) +
                            CStringLoader::LoadString(IDS_SUFFIX_SETTINGS);
  SetWindowText(title);
  SetupCaptionBar(caption_, IDC_CAPTION_CTL, title);
  for (const Switch& s : kSwitches) {
    SetDlgItemTextA(hwnd_, int(s.id), CStringLoader::LoadString(s.textId).c_str());
    SendMessageA(GetDlgItem(int(s.id)), WM_SETFONT, WPARAM(font), FALSE);
  }
  for (const ShortcutBox& box : kShortcutBoxes) {
    SetDlgItemTextA(hwnd_, int(box.id), CStringLoader::LoadString(box.textId).c_str());
    SendMessageA(GetDlgItem(int(box.id)), WM_SETFONT, WPARAM(font), FALSE);
  }
  const BYTE charSet = CharSetOf(language);
  for (auto [label, id, textId] :
       {std::make_tuple(&intro_, IDC_PAKKEO_PREFERENCES_INTRO, IDS_PREF_INTRO),
        std::make_tuple(&languageIntro_, IDC_LANGUAGE_PREFERENCES_INTRO,
                        IDS_PREF_LANGUAGE_INTRO)}) {
    label->SubclassDlgItem(id, hwnd_);
    label->SetBold(true);
    if (charSet != ANSI_CHARSET) label->SetFont("", charSet);
    SetupPanelLabel(*label, id, CStringLoader::LoadString(textId));
  }
  close_.Attach(hwnd_, IDC_CLOSE_BUTTON);
  close_.SetCloseBitmaps();
  ok_.AttachStandard(hwnd_, IDOK, CStringLoader::LoadString(IDS_OK));
  cancel_.AttachStandard(hwnd_, IDCANCEL, CStringLoader::LoadString(IDS_CANCEL));

  toolTip_ = CreateToolTip();
  for (const Switch& s : kSwitches) AddToolTip(s.id, s.tipId);
  for (const ShortcutBox& box : kShortcutBoxes) AddToolTip(box.id, box.tipId);
  AddToolTip(IDC_LANGUAGE_SELECT_COMBO, IDS_PREF_LANGUAGE_TIP);
  CenterWindow();
  return TRUE;
}

void CPreferencesDlg::AddToolTip(UINT id, UINT textId) {
  CGUIDialog::AddToolTip(toolTip_, id, CStringLoader::LoadString(textId));
}

void CPreferencesDlg::FillLanguages() {
  HWND box = GetDlgItem(IDC_LANGUAGE_SELECT_COMBO);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  for (WORD language : OfferedLanguages()) {
    const std::string name = CStringLoader::LoadString(IDS_LANGUAGE_NAME, language);
    const LRESULT index =
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index >= 0) SendMessageA(box, CB_SETITEMDATA, WPARAM(index), language);
  }
}

void CPreferencesDlg::SelectLanguage(WORD language) {
  HWND box = GetDlgItem(IDC_LANGUAGE_SELECT_COMBO);
  const LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (WORD(SendMessageA(box, CB_GETITEMDATA, WPARAM(i), 0)) == language) {
      SendMessageA(box, CB_SETCURSEL, WPARAM(i), 0);
      break;
    }
  }
  CStringLoader::SetCurrentLanguage(language);
  InvalidateRect(GetDlgItem(IDC_LANGUAGE_SAMPLE), nullptr, TRUE);
}

bool CPreferencesDlg::Checked(UINT id) const {
  return IsDlgButtonChecked(hwnd_, int(id)) == BST_CHECKED;
}

bool CPreferencesDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (id == IDC_LANGUAGE_SELECT_COMBO && code == CBN_SELCHANGE) {
    HWND box = GetDlgItem(IDC_LANGUAGE_SELECT_COMBO);
    const LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
    if (index >= 0) SelectLanguage(WORD(SendMessageA(box, CB_GETITEMDATA, WPARAM(index), 0)));
    return true;
  }
  if (id == IDC_CLOSE_BUTTON && code == BN_CLICKED) {
    OnCancel();
    return true;
  }
  return CGUIDialog::OnCommand(id, code, control);
}

void CPreferencesDlg::OnOK() {
  CAppSettings settings;
  for (const Switch& s : kSwitches) {
    const bool on = Checked(s.id);
    settings.WriteSetting(s.key, on ? 1 : 0);
    if (s.id == IDC_STARTUP_ON_CHECK) {
      if (on) {
        CWinExplorer::AddStartupEntry(programPath_);
      } else {
        CWinExplorer::RemoveStartupEntry();
      }
    }
  }
  for (const ShortcutBox& box : kShortcutBoxes) {
    const bool on = Checked(box.id);
    settings.WriteSetting(box.key, on ? 1 : 0);
    if (on) {
      CAppShortcuts::Create(box.kind, programPath_);
    } else if (CAppShortcuts::Exists(box.kind)) {
      CAppShortcuts::Delete(box.kind);
    }
  }
  settings.WriteSetting("SelectedLanguage", CStringLoader::CurrentLanguage());
  EndDialog(IDOK);
}

void CPreferencesDlg::OnCancel() {
  CStringLoader::SetCurrentLanguage(openingLanguage_);
  EndDialog(IDCANCEL);
}

// The language names and the sample are drawn from the tables' own UTF-16
// texts, so each shows in its script whatever the system's code page.
void CPreferencesDlg::DrawLanguageItem(const DRAWITEMSTRUCT& item) {
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID == UINT(-1)) return;
  const WORD language = WORD(item.itemData);
  const std::wstring name = CStringLoader::LoadWideString(IDS_LANGUAGE_NAME, language);
  HGDIOBJ old = SelectObject(item.hDC, FontFor(language));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  TEXTMETRICA tm{};
  GetTextMetricsA(item.hDC, &tm);
  const int y = item.rcItem.top + ((item.rcItem.bottom - item.rcItem.top) - tm.tmHeight) / 2;
  ExtTextOutW(item.hDC, item.rcItem.left + 3, y, ETO_CLIPPED, &item.rcItem, name.c_str(),
              UINT(name.size()), nullptr);
  SelectObject(item.hDC, old);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

void CPreferencesDlg::DrawSample(const DRAWITEMSTRUCT& item) {
  HBRUSH panel = CreateSolidBrush(kPanel);
  FillRect(item.hDC, &item.rcItem, panel);
  DeleteObject(panel);
  const WORD language = CStringLoader::CurrentLanguage();
  const std::wstring sample = CStringLoader::LoadWideString(IDS_LANGUAGE_SAMPLE, language);
  HGDIOBJ old = SelectObject(item.hDC, FontFor(language));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, RGB(207, 34, 34));
  // Broken into lines at spaces by hand: the system's wrapping of UTF-16
  // text is not there on every Windows the program runs on.
  const int width = item.rcItem.right - item.rcItem.left - 2;
  std::vector<std::wstring> lines(1);
  size_t start = 0;
  while (start < sample.size()) {
    size_t end = sample.find(L' ', start);
    if (end == std::wstring::npos) end = sample.size();
    const std::wstring word = sample.substr(start, end - start);
    const std::wstring joined = lines.back().empty() ? word : lines.back() + L" " + word;
    SIZE size{};
    GetTextExtentPoint32W(item.hDC, joined.c_str(), int(joined.size()), &size);
    if (size.cx > width && !lines.back().empty()) {
      lines.push_back(word);
    } else {
      lines.back() = joined;
    }
    start = end + 1;
  }
  TEXTMETRICA tm{};
  GetTextMetricsA(item.hDC, &tm);
  const int height = int(lines.size()) * tm.tmHeight;
  int y = item.rcItem.top + ((item.rcItem.bottom - item.rcItem.top) - height) / 2;
  for (const std::wstring& line : lines) {
    ExtTextOutW(item.hDC, item.rcItem.left + 2, y, ETO_CLIPPED, &item.rcItem, line.c_str(),
                UINT(line.size()), nullptr);
    y += tm.tmHeight;
  }
  SelectObject(item.hDC, old);
}

bool CPreferencesDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID == IDC_LANGUAGE_SELECT_COMBO) {
        DrawLanguageItem(item);
      } else if (item.CtlID == IDC_LANGUAGE_SAMPLE) {
        DrawSample(item);
      } else {
        break;
      }
      result = TRUE;
      return true;
    }
    default:
      break;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}
