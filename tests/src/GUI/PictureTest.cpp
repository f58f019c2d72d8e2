// Pictures from GIF resources through the system's decoder.
#include <windows.h>

#include <gtest/gtest.h>

#include "GUI/Picture.h"
#include "GuiTestIds.h"
#include "resource.h"

namespace {

struct Ole {
  Ole() { OleInitialize(nullptr); }
  ~Ole() { OleUninitialize(); }
};

TEST(Picture, SizeComesFromTheDecodedResource) {
  Ole ole;
  struct Case {
    UINT id;
    LONG cx, cy;
  };
  for (Case c : {Case{IDG_NOTIFY_SKIN, 220, 90}, Case{IDG_NOTIFY_INSERTED, 32, 32},
                 Case{IDG_TEST_SKIN, 360, 240}}) {
    CPicture picture;
    ASSERT_TRUE(picture.Load(GetModuleHandleA(nullptr), c.id)) << c.id;
    SIZE size = picture.GetSize();
    EXPECT_EQ(size.cx, c.cx) << c.id;
    EXPECT_EQ(size.cy, c.cy) << c.id;
  }
}

TEST(Picture, MissingResourceLeavesNoPicture) {
  Ole ole;
  CPicture picture;
  EXPECT_TRUE(picture.Load(GetModuleHandleA(nullptr), IDG_NOTIFY_SKIN));
  EXPECT_FALSE(picture.Load(GetModuleHandleA(nullptr), 4247));
  EXPECT_FALSE(picture.IsLoaded());
  EXPECT_EQ(picture.GetSize().cx, 0);
  // A bitmap is not a GIF resource.
  EXPECT_FALSE(picture.Load(GetModuleHandleA(nullptr), IDB_CHECK_NORMAL));
}

TEST(Picture, RenderPaintsThePixelsOfTheSkin) {
  Ole ole;
  CPicture picture;
  ASSERT_TRUE(picture.Load(GetModuleHandleA(nullptr), IDG_NOTIFY_SKIN));
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 220, 90);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  ASSERT_TRUE(picture.Render(dc, 0, 0));
  // Frame grey at the corner, the panel inside, red at the stripe's start.
  EXPECT_EQ(GetPixel(dc, 0, 89), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(dc, 110, 45), RGB(244, 244, 244));
  COLORREF stripe = GetPixel(dc, 1, 2);
  EXPECT_GT(GetRValue(stripe), 180);
  EXPECT_LT(GetGValue(stripe), 80);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
