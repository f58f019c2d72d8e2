// The base of every visible window: a dialog whose look is a background
// picture (the skin), whose outline can follow a bitmap, and whose controls
// are moved to pixel positions registered in code when it opens.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "GUI/ControlInfo.h"
#include "GUI/Dialog.h"
#include "GUI/Picture.h"

class CGUILabel;

class CGUIDialog : public CDialog {
 public:
  // Caption bar of every skinned dialog: a gradient from this red to grey.
  static constexpr COLORREF kCaptionRed = RGB(207, 34, 34);
  static constexpr COLORREF kCaptionGrey = RGB(192, 192, 192);
  static constexpr int kCaptionFontHeight = 36;

  explicit CGUIDialog(UINT templateId, HWND parent = nullptr);
  ~CGUIDialog() override;

  // Background picture: resource "#<id>" of type "GIF". False when missing.
  virtual bool SetSkin(UINT pictureId);
  // Window region from bitmap `bitmapId`: its pure white pixels are cut away.
  virtual bool SetShape(UINT bitmapId);

  void SetControlInfo(UINT id, const char* name, int top, int bottom, int left, int right);
  void SetResizableControlInfo(UINT id, const char* name, int top, int bottom, int left, int right,
                               bool leftAligned);
  void SetAnchor(UINT id, uint32_t flags, int margin);
  void SetLeftNeighbour(UINT leftId, UINT rightId, int gap);
  // Window icon (big and small) when set, client area sized to the skin, then
  // the layout.
  void ApplySkinAndLayout();
  // The three passes: placement, anchors, neighbours.
  void RunLayout();
  // Writes the registered controls' current places as source lines.
  bool DumpControlInfo();

  // Plain controls (check boxes, texts) drawn on the skin's panel colour.
  void SetPanelColors(COLORREF panel, COLORREF text);
  // Takes over the label `id` and gives it the panel's colours and `text`.
  void SetupPanelLabel(CGUILabel& label, UINT id, const std::string& text);

  void SetIcon(HICON icon) { icon_ = icon; }
  // The window icon from the program's icon resource `id` (none when missing).
  void SetIconResource(UINT id);
  void SetListingFile(const std::string& path) { listingFile_ = path; }
  const std::string& ListingFile() const { return listingFile_; }
  bool SkinActive() const { return skinActive_; }
  const CPicture& Skin() const { return skin_; }
  const CControlInfo* FindControlInfo(UINT id) const;

  // Common conventions: the caption bar label, and centring over `over`
  // (the screen's work area when null).
  void SetupCaptionBar(CGUILabel& label, UINT id, const std::string& text);
  void CenterWindow(HWND over = nullptr);
  // A tooltip window of this dialog, and a tip for its control `id` on it.
  HWND CreateToolTip();
  void AddToolTip(HWND toolTip, UINT id, const std::string& text);

  // The transparent colour rule of the shapes: each channel within
  // [key, key + tolerance], the bound capped at 255.
  static bool IsTransparent(COLORREF pixel, COLORREF key, int tolerance);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Paints the skin at the client origin.
  void PaintSkin(HDC dc) const;
  // What a dialog paints over its skin (pictures in their places).
  virtual void PaintOverSkin(HDC) {}

 private:
  CControlInfo* Entry(UINT id);
  void FitToSkin();
  void PlaceControls();
  void AnchorControls();
  void ChainNeighbours();
  void OnPaint();

  HICON icon_ = nullptr;
  CPicture skin_;
  bool skinActive_ = false;
  std::string listingFile_ = "control.out";
  std::unordered_map<uint16_t, std::unique_ptr<CControlInfo>> controls_;
  UINT captionId_ = 0;
  HBRUSH panelBrush_ = nullptr;
  COLORREF panelColor_ = RGB(255, 255, 255);
  COLORREF panelText_ = 0;
};
