// The album library file: the byte format of the user's whole collection of albums.
// Reading and writing work on plain records; the main window turns them into books.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Display settings kept with one folder of an album.
struct TFolderRecord {
  std::int32_t SizeIndex = 3;        // thumbnail size 1..5; other values are kept as read
  std::vector<std::string> Entries;  // kept with the folder, never shown
  std::int32_t Kind = 0;             // chooses the folder's tree icons
};

// One folder of an album: a path and its record, or none (files older than version 20).
// The record is held by pointer so tree nodes can refer to it while the list grows.
struct TFolderEntry {
  std::string Path;
  std::unique_ptr<TFolderRecord> Record;
};
using TFolderList = std::vector<TFolderEntry>;

// What the file stores of one album.
struct AlbumRecord {
  std::string Caption;
  std::uint32_t Color = 0;
  std::string FontName;
  std::uint32_t FontColor = 0;
  TFolderList Folders;
};

// A view of one album for writing, so the books need not copy their folder lists.
struct AlbumRef {
  std::string_view Caption;
  std::uint32_t Color;
  std::string_view FontName;
  std::uint32_t FontColor;
  const TFolderList& Folders;
};

inline constexpr std::string_view kAlbumMagic = "Quirandel...........";
inline constexpr std::int32_t kAlbumFileVersion = 30;
inline constexpr std::size_t kStringField = 256;

struct AlbumLibraryData {
  bool MagicOk = false;   // false: not a library file; nothing was read
  bool Complete = false;  // false: the file ended or was damaged before all albums were read
  // false: some text filled its whole field without an ending NUL; written back, it would be
  // cut to the 255 bytes a field holds.
  bool FieldsFit = true;
  std::int32_t Version = 0;
  std::vector<AlbumRecord> Albums;  // every album read whole
};

// Reads a library file's bytes. Never reads past the data and never allocates from a count
// that the remaining bytes cannot hold; keeps every album read whole before any damage.
AlbumLibraryData ReadAlbumLibrary(std::span<const std::uint8_t> bytes);

// Writes the library in the current format (version 30). Texts longer than 255 bytes are
// cut at the last whole Shift-JIS character that fits.
std::vector<std::uint8_t> WriteAlbumLibrary(std::span<const AlbumRef> albums);

// The library file belongs beside the executable: its path with the extension ".Alb".
std::string AlbumFilePath(std::string_view exePath);
