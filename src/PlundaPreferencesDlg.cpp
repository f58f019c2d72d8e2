#include "PlundaPreferencesDlg.h"

#include <commdlg.h>
#include <mmsystem.h>

#include <cstdio>
#include <tuple>
#include <utility>

#include "GUI/Application.h"
#include "PDKProxy.h"
#include "StringLoader.h"
#include "resource.h"
#include "strings.h"

namespace {

const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
constexpr int kImageSize = 16;
constexpr int kApplicationImage = 0;
constexpr int kSoundImage = CPlundaPreferencesDlg::kBuiltInCount + 1;
constexpr int kNoImage = -2;  // the list leaves the room of the picture empty
constexpr UINT kDefaultIcon = IDI_DRIVE_DEFAULT;
constexpr UINT kDefaultSound = IDW_INSERTED;
constexpr UINT kPlayedWithoutData = IDW_REMOVED;

HICON SmallIcon(UINT id) {
  return static_cast<HICON>(LoadImageA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(id),
                                       IMAGE_ICON, kImageSize, kImageSize, 0));
}

// "Icon files (*.ico)|*.ico||" in the form the file dialog takes: NULs for bars.
std::string FileFilter(UINT textId) {
  std::string filter = CStringLoader::LoadString(textId);
  for (char& c : filter)
    if (c == '|') c = '\0';
  return filter + '\0';
}

}  // namespace

CPlundaPreferencesDlg::CPlundaPreferencesDlg(HWND parent)
    : CGUIDialog(IDD_PLUNDA_PREFERENCES_DIALOG, parent) {
  icon_.listId = IDC_ICON_COMBOBOXEX;
  sound_.listId = IDC_SOUND_COMBOBOXEX;
}

CPlundaPreferencesDlg::~CPlundaPreferencesDlg() {
  if (images_ != nullptr) ImageList_Destroy(images_);
}

void CPlundaPreferencesDlg::SetProxy(CPDKProxy* proxy) { proxy_ = proxy; }

BOOL CPlundaPreferencesDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetPanelColors(kPanel, kText);
  SetIconResource(IDI_APPLICATION_ICON);
  SetSkin(IDG_PLUNDA_PREFERENCES_SKIN);
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 18, 1, 308);
  SetControlInfo(IDC_CLOSE_BUTTON, "IDC_CLOSE_BUTTON", 3, 16, 291, 304);
  SetControlInfo(IDC_BROWSE_FOR_ICON_STR, "IDC_BROWSE_FOR_ICON_STR", 29, 45, 32, 200);
  SetControlInfo(IDC_ICON_COMBOBOXEX, "IDC_ICON_COMBOBOXEX", 50, 72, 32, 170);
  SetControlInfo(IDC_BROWSE_FOR_SOUND_STR, "IDC_BROWSE_FOR_SOUND_STR", 80, 96, 32, 200);
  SetControlInfo(IDC_SOUND_COMBOBOXEX, "IDC_SOUND_COMBOBOXEX", 99, 121, 32, 170);
  SetControlInfo(IDC_PLAY_SOUND, "IDC_PLAY_SOUND", 98, 122, 175, 250);
  SetControlInfo(IDC_SET_PDK_LABEL_STR, "IDC_SET_PDK_LABEL_STR", 127, 141, 32, 197);
  SetControlInfo(IDC_SET_PDK_LABEL_EDIT, "IDC_SET_PDK_LABEL_EDIT", 145, 165, 32, 197);
  SetControlInfo(IDC_PDK_VERSION_STR, "IDC_PDK_VERSION_STR", 182, 200, 41, 262);
  SetResizableControlInfo(IDOK, "IDOK", 0, 24, 218, 272, true);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, 24, 276, 330, true);
  // The corner rule wins over the spans: the skin is narrower than they are.
  SetAnchor(IDCANCEL, CControlInfo::kBottom | CControlInfo::kRight, 12);
  SetLeftNeighbour(IDOK, IDCANCEL, 8);
  ApplySkinAndLayout();

  const std::string title =
      CStringLoader::LoadString(IDS_PRODUCT_DRIVE) + CStringLoader::LoadString(IDS_SUFFIX_SETTINGS);
  SetWindowText(title);
  SetupCaptionBar(caption_, IDC_CAPTION_CTL, title);
  for (auto [label, id, textId] : {std::make_tuple(&iconIntro_, IDC_BROWSE_FOR_ICON_STR,
                                                   IDS_PERSONAL_ICON),
                                   std::make_tuple(&soundIntro_, IDC_BROWSE_FOR_SOUND_STR,
                                                   IDS_PERSONAL_SOUND),
                                   std::make_tuple(&labelIntro_, IDC_SET_PDK_LABEL_STR,
                                                   IDS_PERSONAL_LABEL)}) {
    label->SubclassDlgItem(id, hwnd_);
    label->SetBold(true);
    SetupPanelLabel(*label, id, CStringLoader::LoadString(textId));
  }
  version_.SubclassDlgItem(IDC_PDK_VERSION_STR, hwnd_);
  SetupPanelLabel(version_, IDC_PDK_VERSION_STR, "");
  close_.Attach(hwnd_, IDC_CLOSE_BUTTON);
  close_.SetCloseBitmaps();
  play_.AttachStandard(hwnd_, IDC_PLAY_SOUND, CStringLoader::LoadString(IDS_PLAY));
  play_.SetBitmaps(CGUIButton::kNormal, IDB_PLAY_LEFT_NORMAL, IDB_BUTTON_MIDDLE_NORMAL,
                   IDB_BUTTON_RIGHT_NORMAL);
  play_.SetBitmaps(CGUIButton::kDisabled, IDB_PLAY_LEFT_DISABLED, IDB_BUTTON_MIDDLE_DISABLED,
                   IDB_BUTTON_RIGHT_DISABLED);
  play_.SetBitmaps(CGUIButton::kPressed, IDB_PLAY_LEFT_PRESSED, IDB_BUTTON_MIDDLE_PRESSED,
                   IDB_BUTTON_RIGHT_PRESSED);
  play_.SetBitmaps(CGUIButton::kOver, IDB_PLAY_LEFT_OVER, IDB_BUTTON_MIDDLE_OVER,
                   IDB_BUTTON_RIGHT_OVER);
  ok_.AttachStandard(hwnd_, IDOK, CStringLoader::LoadString(IDS_OK));
  cancel_.AttachStandard(hwnd_, IDCANCEL, CStringLoader::LoadString(IDS_CANCEL));
  SendDlgItemMessageA(hwnd_, IDC_SET_PDK_LABEL_EDIT, EM_LIMITTEXT, kMaxLabelLength, 0);

  toolTip_ = CreateToolTip();
  AddToolTip(toolTip_, IDC_ICON_COMBOBOXEX, CStringLoader::LoadString(IDS_TIP_ICON_LIST));
  AddToolTip(toolTip_, IDC_SOUND_COMBOBOXEX, CStringLoader::LoadString(IDS_TIP_SOUND_LIST));
  AddToolTip(toolTip_, IDC_PLAY_SOUND, CStringLoader::LoadString(IDS_TIP_PLAY));
  AddToolTip(toolTip_, IDC_SET_PDK_LABEL_EDIT, CStringLoader::LoadString(IDS_TIP_LABEL));
  AddToolTip(toolTip_, IDOK, CStringLoader::LoadString(IDS_TIP_OK));
  AddToolTip(toolTip_, IDC_CLOSE_BUTTON, CStringLoader::LoadString(IDS_CLOSE));

  FillLists();
  ShowDrive();
  CenterWindow();
  SetFocus(GetDlgItem(IDOK));
  return FALSE;
}

void CPlundaPreferencesDlg::FillLists() {
  images_ = ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK, kSoundImage + 1, 0);
  const UINT pictures[] = {IDI_APPLICATION_ICON, IDI_DRIVE_1,     IDI_DRIVE_1 + 1, IDI_DRIVE_1 + 2,
                           IDI_DRIVE_1 + 3,      IDI_DRIVE_1 + 4, IDI_DRIVE_1 + 5, IDI_DRIVE_1 + 6,
                           IDI_DRIVE_1 + 7,      IDI_DRIVE_1 + 8, IDI_DRIVE_10,    IDI_SOUND};
  for (UINT id : pictures) {
    const HICON icon = SmallIcon(id);
    ImageList_AddIcon(images_, icon);
    if (icon != nullptr) DestroyIcon(icon);
  }
  const std::string defaultText = CStringLoader::LoadString(IDS_DEFAULT);
  for (Choice* choice : {&icon_, &sound_}) {
    const bool isIcon = choice == &icon_;
    HWND list = GetDlgItem(choice->listId);
    SendMessageA(list, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    const auto add = [&](int position, const std::string& text, int image, UINT data) {
      COMBOBOXEXITEMA item{};
      item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
      item.iItem = position;
      item.pszText = const_cast<char*>(text.c_str());
      item.iImage = item.iSelectedImage = image;
      item.lParam = static_cast<LPARAM>(data);
      SendMessageA(list, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    };
    add(0, defaultText, kApplicationImage, isIcon ? kDefaultIcon : kDefaultSound);
    const std::string format = CStringLoader::LoadString(isIcon ? IDS_ICON_N : IDS_SOUND_N);
    for (int n = 1; n <= kBuiltInCount; ++n) {
      char text[64];
      std::snprintf(text, sizeof text, format.c_str(), unsigned(n));
      add(n, text, isIcon ? n : kSoundImage,
          isIcon ? UINT(IDI_DRIVE_1 - 1 + n) : UINT(IDW_SOUND_1 - 1 + n));
    }
    add(kBrowsePosition, "...", kNoImage, 0);
  }
}

void CPlundaPreferencesDlg::ShowDrive() {
  std::string version = CStringLoader::LoadString(IDS_DRIVE_VERSION);
  char revision[64] = "";
  uint32_t length = sizeof revision;
  if (proxy_ != nullptr && proxy_->IsValid() &&
      proxy_->Device()->getRevision(revision, length) == pdk::kOk) {
    version += revision;
  } else {
    version += " " + CStringLoader::LoadString(IDS_UNKNOWN);
  }
  version_.SetText(version);
  int iconAt = 0;
  int soundAt = 0;
  if (proxy_ != nullptr) {
    std::string label;
    proxy_->GetLabel(label);
    SetDlgItemTextA(hwnd_, IDC_SET_PDK_LABEL_EDIT, label.c_str());
    HICON icon = nullptr;
    int index = 0;
    if (proxy_->GetPersonalIcon(icon, index) == CPDKProxy::kPersonalSet) iconAt = index;
    if (icon != nullptr) DestroyIcon(icon);
    std::string sound;
    if (proxy_->GetPersonalSound(sound, index) == CPDKProxy::kPersonalSet) soundAt = index;
  }
  for (auto [choice, at] : {std::make_pair(&icon_, iconAt), std::make_pair(&sound_, soundAt)}) {
    // A stored position the list does not have (a file of the user's own)
    // shows as "Default"; OK then changes nothing the user did not touch.
    Select(*choice, at >= 0 && at < kBrowsePosition ? at : 0);
    choice->openedAt = Selected(*choice);
  }
}

int CPlundaPreferencesDlg::Selected(const Choice& choice) const {
  return static_cast<int>(SendDlgItemMessageA(hwnd_, int(choice.listId), CB_GETCURSEL, 0, 0));
}

void CPlundaPreferencesDlg::Select(const Choice& choice, int position) {
  SendDlgItemMessageA(hwnd_, int(choice.listId), CB_SETCURSEL, WPARAM(position), 0);
}

UINT CPlundaPreferencesDlg::ItemData(const Choice& choice, int position) const {
  const LRESULT data =
      SendDlgItemMessageA(hwnd_, int(choice.listId), CB_GETITEMDATA, WPARAM(position), 0);
  return data == CB_ERR ? 0 : static_cast<UINT>(data);
}

void CPlundaPreferencesDlg::OnListChanged(Choice& choice, bool isIcon) {
  choice.customPath.clear();
  if (Selected(choice) != kBrowsePosition) return;
  char file[MAX_PATH] = "";
  const std::string filter = FileFilter(isIcon ? IDS_FILTER_ICONS : IDS_FILTER_SOUNDS);
  OPENFILENAMEA open{};
  // The first layout of the structure: every version of the dialog takes it.
  open.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  open.hwndOwner = hwnd_;
  open.lpstrFilter = filter.c_str();
  open.lpstrFile = file;
  open.nMaxFile = sizeof file;
  open.lpstrDefExt = isIcon ? "ico" : "wav";
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameA(&open)) {
    choice.customPath = file;
  } else {
    Select(choice, 0);
  }
}

void CPlundaPreferencesDlg::Play() {
  if (!sound_.customPath.empty()) {
    PlaySoundA(sound_.customPath.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    return;
  }
  UINT id = ItemData(sound_, Selected(sound_));
  if (id == 0) id = kPlayedWithoutData;
  PlaySoundA(MAKEINTRESOURCEA(id), CApplication::ResourceHandle(),
             SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
}

bool CPlundaPreferencesDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (id == IDC_ICON_COMBOBOXEX && code == CBN_SELCHANGE) {
    OnListChanged(icon_, true);
    return true;
  }
  if (id == IDC_SOUND_COMBOBOXEX && code == CBN_SELCHANGE) {
    OnListChanged(sound_, false);
    return true;
  }
  if (id == IDC_PLAY_SOUND && code == BN_CLICKED) {
    Play();
    return true;
  }
  if (id == IDC_CLOSE_BUTTON && code == BN_CLICKED) {
    OnCancel();
    return true;
  }
  return CGUIDialog::OnCommand(id, code, control);
}

void CPlundaPreferencesDlg::OnOK() {
  if (proxy_ != nullptr) {
    const HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    char label[kMaxLabelLength + 1] = "";
    GetDlgItemTextA(hwnd_, IDC_SET_PDK_LABEL_EDIT, label, sizeof label);
    proxy_->SetLabel(label);
    for (Choice* choice : {&icon_, &sound_}) {
      const bool isIcon = choice == &icon_;
      const int at = Selected(*choice);
      const auto store = [&](const std::string& path, UINT resource) {
        return isIcon ? proxy_->SetPersonalIcon(path, resource, at)
                      : proxy_->SetPersonalSound(path, resource, at);
      };
      if (!choice->customPath.empty()) {
        store(choice->customPath, 0);
      } else if (at != choice->openedAt) {
        store("", ItemData(*choice, at));
      }
    }
    SetCursor(previous);
  }
  CGUIDialog::OnOK();
}
