// The album library in memory: the albums in shelf order, each with its name, cover colour,
// caption font and folders. The views refer to it rather than holding copies: a book on the
// shelf draws and edits its album, a node of the folder tree carries its folder's record.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/album_file.h"
#include "win/font_desc.h"

struct TAlbum {
  std::string Caption;
  std::uint32_t Color = 0xFF0000;  // cover colour, 0x00BBGGRR
  FontDesc Font;                   // the file keeps only its name and colour
  TFolderList Folders;
};

class TAlbumLibrary {
 public:
  TAlbumLibrary() = default;
  // The albums of a file, in file order.
  explicit TAlbumLibrary(std::vector<AlbumRecord> albums);

  // Shared with the books, so a book never outlives the album it shows.
  const std::vector<std::shared_ptr<TAlbum>>& Albums() const { return albums_; }
  std::size_t Count() const { return albums_.size(); }

  // Appends an album at the end of the shelf.
  const std::shared_ptr<TAlbum>& Add(TAlbum album = {});
  // Takes the album out of the library; nothing when it is not in it.
  void Remove(const TAlbum* album);

  // Appends a folder with a default record and returns that record. A path the file cannot
  // hold (more than 255 bytes) is refused with a message rather than cut when saved.
  static TFolderRecord& AddFolder(TAlbum& album, std::string path);
  // Removes the first folder whose path equals `path` ignoring the case of ASCII letters and
  // hands the removed entry back (nothing when none matched).
  static std::optional<TFolderEntry> RemoveFolder(TAlbum& album, std::string_view path);
  // Folders read from old files have no record until their album is opened.
  static void GiveDefaultRecords(TAlbum& album);

  // The file's bytes for this library (version 30).
  std::vector<std::uint8_t> FileBytes() const;

 private:
  std::vector<std::shared_ptr<TAlbum>> albums_;
};

// The caption font of every album: stored by name and colour, drawn at 14 points bold.
FontDesc AlbumCaptionFont(std::string name, std::uint32_t color);
