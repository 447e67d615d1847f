// The folder tree: the open album as the root node, its folders as children. A folder node's
// text is the folder's path and its data is the folder's record in the album library, so a
// node leads straight to its record (RecordOf) and a change through it is the album's.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "album/album_library.h"
#include "win/window.h"

class TFolderTree : public win::Control {
 public:
  void Create(HWND parent, int id, HIMAGELIST images);

  // Empties the tree, then shows the album: the root with its caption (image 0) and one node
  // per folder (images Kind × 2 + 1 and + 2); folders without a record get the default one.
  // Returns the root node.
  HTREEITEM ShowAlbum(TAlbum& album);
  // Appends a folder node under the root.
  HTREEITEM AddFolder(HTREEITEM root, const std::string& path, TFolderRecord& record);
  void Clear();
  void Delete(HTREEITEM node);
  void Expand(HTREEITEM node);

  HTREEITEM Selected() const;
  void Select(HTREEITEM node);  // nullptr: no selection
  std::string Text(HTREEITEM node) const;
  // The folder record of a folder node; null for the root.
  TFolderRecord* RecordOf(HTREEITEM node) const;
  // Every node that carries `from` carries `to` instead.
  void Repoint(const TFolderRecord* from, TFolderRecord* to);
  int Count() const;
};
