#include "album/album_file.h"

#include <cstring>

#include "win/sjis.h"

namespace {

// A cursor over the file's bytes that refuses to read past the end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t Remaining() const { return bytes_.size() - pos_; }
  bool FieldsFit() const { return fieldsFit_; }

  bool Int(std::int32_t& value) {
    if (Remaining() < 4) return false;
    const std::uint8_t* p = bytes_.data() + pos_;
    value = static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24);
    pos_ += 4;
    return true;
  }
  bool Color(std::uint32_t& value) {
    std::int32_t v;
    if (!Int(v)) return false;
    value = static_cast<std::uint32_t>(v);
    return true;
  }
  // A 256-byte field: the text runs to its first NUL, and never beyond the field.
  bool String(std::string& text) {
    if (Remaining() < kStringField) return false;
    const char* p = reinterpret_cast<const char*>(bytes_.data() + pos_);
    text.assign(p, strnlen(p, kStringField));
    if (text.size() == kStringField) fieldsFit_ = false;
    pos_ += kStringField;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool fieldsFit_ = true;
};

bool ReadFolder(Reader& in, std::int32_t version, TFolderEntry& folder) {
  if (!in.String(folder.Path)) return false;
  if (version < 20) return true;
  auto record = std::make_unique<TFolderRecord>();
  if (!in.Int(record->SizeIndex)) return false;
  if (version >= 30 && !in.Int(record->Kind)) return false;
  std::int32_t count;
  if (!in.Int(count)) return false;
  if (count > 0) {
    if (static_cast<std::size_t>(count) > in.Remaining() / kStringField) return false;
    record->Entries.resize(static_cast<std::size_t>(count));
    for (std::string& entry : record->Entries) in.String(entry);
  }
  folder.Record = std::move(record);
  return true;
}

bool ReadAlbum(Reader& in, std::int32_t version, AlbumRecord& album) {
  std::int32_t count;
  if (!in.String(album.Caption) || !in.Color(album.Color) || !in.String(album.FontName) ||
      !in.Color(album.FontColor) || !in.Int(count))
    return false;
  // Each folder block holds at least its path, so the count cannot exceed what is left.
  for (std::int32_t i = 0; i < count; ++i) {
    if (in.Remaining() < kStringField) return false;
    TFolderEntry folder;
    if (!ReadFolder(in, version, folder)) return false;
    album.Folders.push_back(std::move(folder));
  }
  return true;
}

class Writer {
 public:
  void Int(std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void String(std::string_view text) {
    std::string_view fit = sjis::Truncate(text, kStringField - 1);
    out_.insert(out_.end(), fit.begin(), fit.end());
    out_.insert(out_.end(), kStringField - fit.size(), 0);
  }
  void Bytes(std::string_view raw) { out_.insert(out_.end(), raw.begin(), raw.end()); }
  std::vector<std::uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<std::uint8_t> out_;
};

}  // namespace

AlbumLibraryData ReadAlbumLibrary(std::span<const std::uint8_t> bytes) {
  AlbumLibraryData data;
  if (bytes.size() < kAlbumMagic.size()) return data;
  const char* head = reinterpret_cast<const char*>(bytes.data());
  if (std::string_view(head, strnlen(head, kAlbumMagic.size())) != kAlbumMagic) return data;
  data.MagicOk = true;

  Reader in(bytes.subspan(kAlbumMagic.size()));
  std::int32_t count;
  if (!in.Int(data.Version) || !in.Int(count)) return data;
  for (std::int32_t i = 0; i < count; ++i) {
    AlbumRecord album;
    bool whole = ReadAlbum(in, data.Version, album);
    data.FieldsFit = in.FieldsFit();
    if (!whole) return data;
    data.Albums.push_back(std::move(album));
  }
  data.Complete = true;
  return data;
}

std::vector<std::uint8_t> WriteAlbumLibrary(std::span<const AlbumRef> albums) {
  Writer out;
  out.Bytes(kAlbumMagic);
  out.Int(kAlbumFileVersion);
  out.Int(static_cast<std::int32_t>(albums.size()));
  for (const AlbumRef& album : albums) {
    out.String(album.Caption);
    out.Int(static_cast<std::int32_t>(album.Color));
    out.String(album.FontName);
    out.Int(static_cast<std::int32_t>(album.FontColor));
    out.Int(static_cast<std::int32_t>(album.Folders.size()));
    for (const TFolderEntry& folder : album.Folders) {
      out.String(folder.Path);
      if (folder.Record) {
        out.Int(folder.Record->SizeIndex);
        out.Int(folder.Record->Kind);
        out.Int(static_cast<std::int32_t>(folder.Record->Entries.size()));
        for (const std::string& entry : folder.Record->Entries) out.String(entry);
      } else {
        out.Int(3);
        out.Int(0);
        out.Int(0);
      }
    }
  }
  return out.Take();
}

std::string AlbumFilePath(std::string_view exePath) { return sjis::ChangeFileExt(exePath, ".Alb"); }
