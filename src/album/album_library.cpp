#include "album/album_library.h"

#include <algorithm>

#include "win/error.h"
#include "win/sjis.h"

TAlbumLibrary::TAlbumLibrary(std::vector<AlbumRecord> albums) {
  for (AlbumRecord& a : albums)
    Add({std::move(a.Caption), a.Color, AlbumCaptionFont(std::move(a.FontName), a.FontColor), std::move(a.Folders)});
}

const std::shared_ptr<TAlbum>& TAlbumLibrary::Add(TAlbum album) {
  albums_.push_back(std::make_shared<TAlbum>(std::move(album)));
  return albums_.back();
}

void TAlbumLibrary::Remove(const TAlbum* album) {
  std::erase_if(albums_, [album](const std::shared_ptr<TAlbum>& a) { return a.get() == album; });
}

TFolderRecord& TAlbumLibrary::AddFolder(TAlbum& album, std::string path) {
  if (path.size() >= kStringField)
    throw Exception(Format("フォルダー %s は、パスが長すぎるため追加できません（255 バイトまで）。", {path}));
  album.Folders.push_back({std::move(path), std::make_unique<TFolderRecord>()});
  return *album.Folders.back().Record;
}

std::optional<TFolderEntry> TAlbumLibrary::RemoveFolder(TAlbum& album, std::string_view path) {
  auto match = std::find_if(album.Folders.begin(), album.Folders.end(),
                            [&](const TFolderEntry& f) { return sjis::SameTextAscii(f.Path, path); });
  if (match == album.Folders.end()) return std::nullopt;
  TFolderEntry removed = std::move(*match);
  album.Folders.erase(match);
  return removed;
}

void TAlbumLibrary::GiveDefaultRecords(TAlbum& album) {
  for (TFolderEntry& folder : album.Folders)
    if (!folder.Record) folder.Record = std::make_unique<TFolderRecord>();
}

std::vector<std::uint8_t> TAlbumLibrary::FileBytes() const {
  std::vector<AlbumRef> refs;
  refs.reserve(albums_.size());
  for (const auto& a : albums_) refs.push_back({a->Caption, a->Color, a->Font.Name, a->Font.Color, a->Folders});
  return WriteAlbumLibrary(refs);
}

FontDesc AlbumCaptionFont(std::string name, std::uint32_t color) {
  FontDesc font;
  font.Name = std::move(name);
  font.Color = color;
  font.SetPoints(14);
  font.Bold = true;
  return font;
}
