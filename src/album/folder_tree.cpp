#include "album/folder_tree.h"

#include "win/error.h"
#include "win/text.h"

namespace {
HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM InsertNode(HWND tree, HTREEITEM parent, const std::string& text, int image, int selectedImage,
                     TFolderRecord* record) {
  std::wstring w = win::Wide(text);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  ins.item.pszText = w.data();
  ins.item.iImage = image;
  ins.item.iSelectedImage = selectedImage;
  ins.item.lParam = reinterpret_cast<LPARAM>(record);
  auto node = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  if (!node) throw Exception("フォルダーツリーに項目を追加できません");
  return node;
}
}  // namespace

void TFolderTree::Create(HWND parent, int id, HIMAGELIST images) {
  CreateControl(WC_TREEVIEWW, parent, id, WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                WS_EX_CLIENTEDGE);
  SendMessageW(hwnd_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  SendMessageW(hwnd_, TVM_SETINDENT, 27, 0);
}

HTREEITEM TFolderTree::ShowAlbum(TAlbum& album) {
  Clear();
  TAlbumLibrary::GiveDefaultRecords(album);
  HTREEITEM root = InsertNode(hwnd_, TVI_ROOT, album.Caption, 0, 0, nullptr);
  for (TFolderEntry& folder : album.Folders) AddFolder(root, folder.Path, *folder.Record);
  return root;
}

HTREEITEM TFolderTree::AddFolder(HTREEITEM root, const std::string& path, TFolderRecord& record) {
  return InsertNode(hwnd_, root, path, record.Kind * 2 + 1, record.Kind * 2 + 2, &record);
}

void TFolderTree::Clear() { SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

void TFolderTree::Delete(HTREEITEM node) { SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node)); }

void TFolderTree::Expand(HTREEITEM node) {
  SendMessageW(hwnd_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
}

HTREEITEM TFolderTree::Selected() const { return NextItem(hwnd_, nullptr, TVGN_CARET); }

void TFolderTree::Select(HTREEITEM node) {
  SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
}

std::string TFolderTree::Text(HTREEITEM node) const {
  wchar_t text[1024] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = node;
  item.pszText = text;
  item.cchTextMax = 1024;
  SendMessageW(hwnd_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return win::Narrow(text);
}

TFolderRecord* TFolderTree::RecordOf(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = node;
  if (!node || !SendMessageW(hwnd_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<TFolderRecord*>(item.lParam);
}

void TFolderTree::Repoint(const TFolderRecord* from, TFolderRecord* to) {
  HTREEITEM root = NextItem(hwnd_, nullptr, TVGN_ROOT);
  for (HTREEITEM node = NextItem(hwnd_, root, TVGN_CHILD); node; node = NextItem(hwnd_, node, TVGN_NEXT)) {
    if (RecordOf(node) != from) continue;
    TVITEMW item{};
    item.mask = TVIF_PARAM;
    item.hItem = node;
    item.lParam = reinterpret_cast<LPARAM>(to);
    SendMessageW(hwnd_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
}

int TFolderTree::Count() const { return static_cast<int>(SendMessageW(hwnd_, TVM_GETCOUNT, 0, 0)); }
