// The album properties dialog as a real window under Wine, driven through its controls.
#include "album/property_form.h"

#include <gtest/gtest.h>

#include <array>

#include "win/test_dialogs.h"
#include "win/text.h"

namespace {

using Box = std::array<long, 4>;  // left, top, right, bottom

Box ChildBounds(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

std::string WindowText(HWND h) {
  wchar_t buf[512] = {};
  GetWindowTextW(h, buf, 512);
  return win::Narrow(buf);
}

// A test window standing in for the main window that owns the dialog.
struct Owner {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr);
  ~Owner() { DestroyWindow(hwnd); }
};

void PressKey(HWND target, WPARAM key) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void ClickPanel(TColorPanel& panel) {
  SendMessageW(panel.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(panel.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

TEST(PropertyForm, LayoutTextsAndStartValues) {
  TPropertyForm form;
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.Text(), "アルバムのプロパティ");
  RECT client = form.ClientRect();
  EXPECT_EQ(client.right, 367);
  EXPECT_EQ(client.bottom, 187);
  RECT outer{};
  GetWindowRect(form.Handle(), &outer);
  EXPECT_LE(std::abs((outer.left + outer.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);

  EXPECT_EQ(ChildBounds(form.CaptionEdit()), (Box{112, 6, 353, 26}));
  EXPECT_EQ(ChildBounds(form.CoverColorItem().Handle()), (Box{112, 30, 272, 50}));
  EXPECT_EQ(ChildBounds(form.FontColorItem().Handle()), (Box{112, 94, 272, 114}));
  EXPECT_EQ(ChildBounds(form.SamplePanel().Handle()), (Box{16, 144, 273, 177}));
  EXPECT_EQ(ChildBounds(form.OkButton()), (Box{280, 127, 365, 152}));
  EXPECT_EQ(ChildBounds(form.CancelButton()), (Box{280, 159, 365, 184}));
  EXPECT_EQ(ChildBounds(form.FontName())[0], 112);
  EXPECT_EQ(ChildBounds(form.FontName())[1], 70);
  EXPECT_EQ(WindowText(form.OkButton()), "OK");
  EXPECT_EQ(WindowText(form.CancelButton()), "キャンセル");
  EXPECT_EQ(form.Label(1).Caption(), "アルバム名称：");
  EXPECT_EQ(form.Label(1).Alignment(), taRightJustify);
  EXPECT_FALSE(form.Label(1).AutoSize());
  EXPECT_EQ(form.Label(1).Width(), 100);
  EXPECT_EQ(form.Label(5).Caption(), "サンプル");
  EXPECT_TRUE(form.Label(5).AutoSize());

  EXPECT_EQ(form.AlbumCaption(), "新規アルバム");
  EXPECT_EQ(form.CoverColor(), 0xFF0000u);
  EXPECT_EQ(form.AlbumFont().Color, 0xFFFFFFu);
  EXPECT_EQ(WindowText(form.CaptionEdit()), "新規アルバム");
  EXPECT_EQ(form.SamplePanel().Caption(), "新規アルバム");
  EXPECT_EQ(form.SamplePanel().Color(), 0xFF0000u);
  EXPECT_EQ(form.SamplePanel().Font().Points(), 12);
  EXPECT_EQ(form.FontColorItem().Color(), 0xFFFFFFu);

  // Only faces with a vertical form, without their "@", in case-blind order.
  const auto& faces = form.FaceNames();
  ASSERT_FALSE(faces.empty());
  EXPECT_EQ(SendMessageW(form.FontName(), CB_GETCOUNT, 0, 0), static_cast<LRESULT>(faces.size()));
  for (std::size_t i = 0; i < faces.size(); ++i) {
    EXPECT_NE(faces[i].front(), '@') << faces[i];
    if (i > 0) {
      EXPECT_LT(win::CompareTextJa(faces[i - 1], faces[i]), 0) << faces[i];
    }
  }
}

TEST(PropertyForm, OkThroughTheRealDialogTakesTheEdits) {
  win::ScriptedDialogs dialogs;
  dialogs.colors.push_back(0x00FF00);  // cover colour
  dialogs.colors.push_back(0x0000FF);  // font colour
  Owner owner;
  TPropertyForm form;
  ASSERT_GE(form.FaceNames().size(), 1u);
  const std::string face = form.FaceNames().back();
  bool ownerDisabled = false;
  form.OnShown = [&](TPropertyForm& f) {
    ownerDisabled = !IsWindowEnabled(owner.hwnd);
    EXPECT_TRUE(f.Visible());
    SetWindowTextW(f.CaptionEdit(), L"旅行");
    SendMessageW(f.FontName(), CB_SETCURSEL, SendMessageW(f.FontName(), CB_GETCOUNT, 0, 0) - 1, 0);
    SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(TPropertyForm::kFontNameId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(f.FontName()));
    ClickPanel(f.CoverColorItem());
    ClickPanel(f.FontColorItem());
    PressKey(f.CaptionEdit(), VK_RETURN);  // Enter is OK
  };
  EXPECT_TRUE(form.Execute(owner.hwnd));
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.AlbumCaption(), "旅行");
  EXPECT_EQ(form.SamplePanel().Caption(), "旅行");
  EXPECT_EQ(form.AlbumFont().Name, face);
  EXPECT_EQ(form.SamplePanel().Font().Name, face);
  EXPECT_EQ(dialogs.colorAsked, (std::vector<std::uint32_t>{0xFF0000, 0xFFFFFF}));
  EXPECT_EQ(form.CoverColor(), 0x00FF00u);
  EXPECT_EQ(form.SamplePanel().Color(), 0x00FF00u);
  EXPECT_EQ(form.AlbumFont().Color, 0x0000FFu);
  EXPECT_EQ(form.SamplePanel().Font().Color, 0x0000FFu);
  EXPECT_EQ(form.FontColorItem().Color(), 0x0000FFu);
}

TEST(PropertyForm, CancelKeepsTheEditsForTheNextUse) {
  win::ScriptedDialogs dialogs;  // the colour chooser is cancelled: nothing changes
  Owner owner;
  TPropertyForm form;
  form.OnShown = [&](TPropertyForm& f) {
    SetWindowTextW(f.CaptionEdit(), L"かぞく");
    ClickPanel(f.CoverColorItem());
    PressKey(f.CaptionEdit(), VK_ESCAPE);  // Esc is Cancel
  };
  EXPECT_FALSE(form.Execute(owner.hwnd));
  EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
  EXPECT_EQ(dialogs.colorAsked.size(), 1u);
  EXPECT_EQ(form.CoverColor(), 0xFF0000u);
  EXPECT_EQ(form.AlbumCaption(), "かぞく");

  std::string shown;
  form.OnShown = [&](TPropertyForm& f) {
    shown = WindowText(f.CaptionEdit());
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);  // the close box cancels too
  };
  EXPECT_FALSE(form.Execute(owner.hwnd));
  EXPECT_EQ(shown, "かぞく");

  form.OnShown = [](TPropertyForm& f) { PostMessageW(f.OkButton(), BM_CLICK, 0, 0); };
  EXPECT_TRUE(form.Execute(owner.hwnd));
}

TEST(PropertyForm, SetAlbumFontSelectsItsFaceAndSizesTheSample) {
  TPropertyForm form;
  ASSERT_FALSE(form.FaceNames().empty());
  FontDesc f;
  f.Name = form.FaceNames().front();
  f.SetPoints(14);
  f.Bold = true;
  f.Color = 0x123456;
  form.SetAlbumFont(f);
  EXPECT_EQ(SendMessageW(form.FontName(), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(form.AlbumFont(), f);  // the album keeps its own size
  EXPECT_EQ(form.SamplePanel().Font().Points(), 12);
  EXPECT_EQ(form.FontColorItem().Color(), 0x123456u);

  f.Name = "どこにもない書体";
  form.SetAlbumFont(f);
  EXPECT_EQ(SendMessageW(form.FontName(), CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(form.AlbumFont().Name, "どこにもない書体");

  form.SetCoverColor(0x336699);
  EXPECT_EQ(form.CoverColorItem().Color(), 0x336699u);
  EXPECT_EQ(form.SamplePanel().Color(), 0x336699u);
  form.SetAlbumCaption("二〇二六年");
  EXPECT_EQ(WindowText(form.CaptionEdit()), "二〇二六年");
  EXPECT_EQ(form.SamplePanel().Caption(), "二〇二六年");
}

}  // namespace
