// "コメント編集…" in the main window under Wine: the dialog opens on the selected item with its
// date and comment, Cancel changes nothing, OK stores them (making the thumbnail the item
// lacks), and an item whose thumbnail cannot be made keeps what it had.
#include <gtest/gtest.h>

#include <cmath>

#include "album/album_file.h"
#include "app/form1.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/comment_form.h"
#include "catalogue/gauge_form.h"
#include "imaging/jpeg_rows.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "imaging/win_test_util.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/test_dialogs.h"

using imgtest::TempDir;

namespace {

double Today() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  FILETIME ft{};
  SystemTimeToFileTime(&st, &ft);
  const ULONGLONG t = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return std::floor(static_cast<double>(t) / 864000000000.0) - 109205;  // 1601-01-01 is day -109205
}

class FormComments : public testing::Test {
 protected:
  void SetUp() override {
    InitPictureFormats();
    for (int i = 0; i < 3; ++i)
      pictures_.File("p" + std::to_string(i) + ".jpg",
                     CompressPixels(testpic::PhotoLike(160 + 40 * i, 120, static_cast<std::uint32_t>(i + 1)), 90));
    TFolderList folders;
    folders.push_back({pictures_.win::TempFolder::Path(), std::make_unique<TFolderRecord>()});
    std::vector<AlbumRef> albums = {AlbumRef{"旅行", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
    win::TempFolder::Write(lib_.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));
    form_ = std::make_unique<TForm1>(lib_.Path() + "Quiran.Alb");
    form_->GaugeForm = &gauge_;
    form_->CommentForm = &comment_;
    form_->BookShape1Click(*form_->Books[0]);
    HWND tree = form_->TreeView1.Handle();
    folder_ = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(form_->RootNode)));
    form_->TreeView1.Select(folder_);
    form_->TreeView1Click();
    ASSERT_EQ(form_->Folder.Items.size(), 3u);
  }
  void TearDown() override {
    form_.reset();
    DonePictureFormats();
  }
  TPictureEntry* Entry(int i) { return form_->Folder.Items[static_cast<std::size_t>(i)].Entry.get(); }
  // Runs "コメント編集…" on item i; the dialog is answered by `answer` once it is up.
  void Edit(int i, std::function<void(TCommentForm&)> answer) {
    SendMessageW(form_->ListBox1.Handle(), LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    comment_.OnShown = std::move(answer);
    form_->ExecuteCommand(app::cmd::N21);
  }
  static std::function<void(TCommentForm&)> Type(const std::string& text, int button) {
    return [text, button](TCommentForm& f) {
      if (!text.empty()) f.Memo1.SetText(text);
      PostMessageW(f.Handle(), WM_COMMAND, static_cast<WPARAM>(button), 0);
    };
  }

  TempDir lib_, pictures_;
  win::ScriptedDialogs dialogs_;
  TGaugeForm gauge_;
  TCommentForm comment_;
  std::unique_ptr<TForm1> form_;
  HTREEITEM folder_ = nullptr;
};

}  // namespace

TEST_F(FormComments, CancelChangesNothing) {
  TForm1& f = *form_;
  Entry(0)->Comment = "海辺で";
  Entry(0)->Date = 45000.5;
  f.Folder.Items[1].Entry.reset();
  TThumbnailPtr thumb = Entry(0)->Thumbnail;
  // The dialog opens on the item: its name, path, date and comment.
  Edit(0, [&](TCommentForm& c) {
    EXPECT_EQ(c.Text(), f.Folder.Items[0].Name + "のプロパティ");
    EXPECT_EQ(c.FilePath(), pictures_.Path() + f.Folder.Items[0].DiskName);
    EXPECT_EQ(c.GetDate(), 45000.5);
    EXPECT_EQ(c.GetComment(), "海辺で");
    Type("別の文", IDCANCEL)(c);
  });
  EXPECT_EQ(Entry(0)->Comment, "海辺で");
  EXPECT_EQ(Entry(0)->Date, 45000.5);
  EXPECT_EQ(Entry(0)->Thumbnail, thumb);
  // An item without entry keeps none.
  Edit(1, [](TCommentForm& c) {
    EXPECT_EQ(c.GetComment(), "");
    Type("note", IDCANCEL)(c);
  });
  EXPECT_EQ(Entry(1), nullptr);
  EXPECT_TRUE(IsWindowEnabled(f.Handle()));
  EXPECT_FALSE(IsWindowVisible(comment_.Handle()));
}

TEST_F(FormComments, ConfirmingStoresTheDateAndCommentAndMakesAMissingThumbnail) {
  TForm1& f = *form_;
  const std::string name = f.Folder.Items[2].Name;
  f.Folder.Items[2].Entry.reset();
  // An item without entry is offered today's date, and gets it with its thumbnail on OK.
  double offered = 0;
  Edit(2, [&](TCommentForm& c) {
    offered = c.GetDate();
    Type("一行目\r\n二行目", IDOK)(c);
  });
  EXPECT_EQ(std::floor(offered), Today());
  ASSERT_NE(Entry(2), nullptr);
  EXPECT_TRUE(Entry(2)->Thumbnail);
  EXPECT_EQ(Entry(2)->PixelWidth, 240);
  EXPECT_EQ(Entry(2)->Date, offered);
  EXPECT_EQ(Entry(2)->Comment, "一行目\r\n二行目");

  // An undated entry is offered today too; a comment of 150 double-byte characters (300 bytes,
  // trail bytes "\" and a letter) is kept to its first 127, never half of one.
  Entry(1)->Date = 0;
  std::string longText;
  for (int i = 0; i < 75; ++i) longText += "ソヂ";
  Edit(1, [&](TCommentForm& c) {
    EXPECT_EQ(std::floor(c.GetDate()), Today());
    Type(longText, IDOK)(c);
  });
  EXPECT_EQ(std::floor(Entry(1)->Date), Today());
  EXPECT_EQ(Entry(1)->Comment, longText.substr(0, 254));

  // The changes are the folder's: leaving it writes them into its catalogue.
  EXPECT_TRUE(f.Folder.Changed());
  f.TreeView1.Select(f.RootNode);
  f.TreeView1Click();
  const TCatalogue stored = ParseCatalogue(win::ReadFileBytes(pictures_.Path() + kCatalogueFileName));
  bool found = false;
  for (const TCatalogueItem& item : stored)
    if (item.Name == name) {
      found = true;
      EXPECT_EQ(item.Entry.Comment, "一行目\r\n二行目");
      EXPECT_EQ(item.Entry.Date, offered);
    }
  EXPECT_TRUE(found);
}

// The date and comment confirmed for a file of which no thumbnail can be made are stored all
// the same, in an entry without thumbnail; the message says only that the thumbnail failed.
TEST_F(FormComments, AThumbnailThatCannotBeMadeStillTakesTheDateAndComment) {
  TForm1& f = *form_;
  Entry(0)->Thumbnail = nullptr;
  Entry(0)->Comment = "大事なメモ";
  Entry(0)->Date = 44000;
  win::TempFolder::Write(pictures_.Path() + f.Folder.Items[0].DiskName, {'n', 'o', 't', ' ', 'j', 'p', 'g'});
  try {
    Edit(0, Type("新しいメモ", IDOK));
    ADD_FAILURE() << "no message";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("サムネイルは作成できませんでした"), std::string::npos) << e.Message();
  }
  ASSERT_NE(Entry(0), nullptr);
  EXPECT_EQ(Entry(0)->Comment, "新しいメモ");
  EXPECT_EQ(Entry(0)->Date, 44000);
  EXPECT_FALSE(Entry(0)->Thumbnail);
  EXPECT_TRUE(IsWindowEnabled(f.Handle()));
  // An item without entry gets one, without thumbnail.
  f.Folder.Items[0].Entry.reset();
  EXPECT_THROW(Edit(0, Type("もう一つ", IDOK)), Exception);
  ASSERT_NE(Entry(0), nullptr);
  EXPECT_EQ(Entry(0)->Comment, "もう一つ");
  EXPECT_FALSE(Entry(0)->Thumbnail);
}

// A character Shift-JIS cannot hold is refused by name, with the dialog left open, rather than
// stored as "?".
TEST_F(FormComments, ACharacterShiftJisCannotHoldIsRefusedByName) {
  TForm1& f = *form_;
  Entry(0)->Comment = "元のまま";
  dialogs_.onMessage = [&](const win::ScriptedDialogs::Message&) {
    EXPECT_TRUE(IsWindowVisible(comment_.Handle()));
    PostMessageW(comment_.Handle(), WM_COMMAND, IDCANCEL, 0);
  };
  Edit(0, [](TCommentForm& c) {
    SetWindowTextW(c.Memo1.Handle(), L"caf\u00e9 \u3067");
    PostMessageW(c.Handle(), WM_COMMAND, IDOK, 0);
  });
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_NE(dialogs_.messages[0].text.find("U+00E9"), std::string::npos) << dialogs_.messages[0].text;
  EXPECT_EQ(Entry(0)->Comment, "元のまま");
  (void)f;
}
