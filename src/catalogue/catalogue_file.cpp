#include "catalogue/catalogue_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "win/sjis.h"

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A zero-filled text field: the text up to its first zero byte.
std::string GetText(const std::uint8_t* p) {
  const auto* end = std::find(p, p + kCatalogueTextSize, 0);
  return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
}
void PutText(std::uint8_t* p, std::string_view text) {
  std::string_view t = CatalogueText(text);
  std::memcpy(p, t.data(), t.size());  // the rest of the field is zero already
}

constexpr char kCommentPrefix[] = "Quiran tiles ";
constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string_view CatalogueText(std::string_view text) { return sjis::Truncate(text, kCatalogueTextSize); }

TCatalogue ParseCatalogue(std::span<const std::uint8_t> bytes) {
  TCatalogue out;
  if (bytes.size() < 4) return out;
  const std::int32_t count = static_cast<std::int32_t>(Get32(bytes.data()));
  const std::size_t whole = (bytes.size() - 4) / kCatalogueEntrySize;
  const std::size_t n = count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), whole);
  out.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint8_t* e = bytes.data() + 4 + k * kCatalogueEntrySize;
    TCatalogueItem item;
    item.Name = GetText(e);
    item.Entry.Comment = GetText(e + 255);
    item.Entry.PixelWidth = static_cast<std::int32_t>(Get32(e + 510));
    item.Entry.PixelHeight = static_cast<std::int32_t>(Get32(e + 514));
    const std::uint64_t date = Get32(e + 518) | static_cast<std::uint64_t>(Get32(e + 522)) << 32;
    item.Entry.Date = std::bit_cast<double>(date);
    item.Entry.TileIndex = static_cast<std::int32_t>(Get32(e + 526));
    out.push_back(std::move(item));
  }
  return out;
}

std::vector<std::uint8_t> SerializeCatalogue(const TCatalogue& catalogue) {
  std::vector<std::uint8_t> out(4 + catalogue.size() * kCatalogueEntrySize, 0);
  Put32(out.data(), static_cast<std::uint32_t>(catalogue.size()));
  std::uint8_t* e = out.data() + 4;
  for (const TCatalogueItem& item : catalogue) {
    PutText(e, item.Name);
    PutText(e + 255, item.Entry.Comment);
    Put32(e + 510, static_cast<std::uint32_t>(item.Entry.PixelWidth));
    Put32(e + 514, static_cast<std::uint32_t>(item.Entry.PixelHeight));
    const std::uint64_t date = std::bit_cast<std::uint64_t>(item.Entry.Date);
    Put32(e + 518, static_cast<std::uint32_t>(date));
    Put32(e + 522, static_cast<std::uint32_t>(date >> 32));
    Put32(e + 526, static_cast<std::uint32_t>(item.Entry.TileIndex));
    e += kCatalogueEntrySize;
  }
  return out;
}

TTileRect TileRect(int k) { return {(k % kTilesPerRow) * kTileWidth, (k / kTilesPerRow) * kTileHeight}; }

TCacheSize CacheImageSize(int items) {
  const int n = std::clamp(items, 1, kMaxTiles);
  const int rows = (n - 1) / kTilesPerRow + 1;
  return {std::min(n, kTilesPerRow) * kTileWidth, rows * kTileHeight};
}

std::uint32_t CatalogueCheck(std::span<const std::uint8_t> bytes) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (std::uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

std::uint32_t TileTag(std::string_view name) {
  std::uint32_t h = 2166136261u;  // FNV-1a, folded to 24 bits
  for (char c : name) h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
  h = (h ^ (h >> 24)) & 0xFFFFFF;
  return h ? h : 1;
}

std::string CacheComment(const std::vector<std::uint32_t>& tags) {
  std::string out = kCommentPrefix;
  out.reserve(out.size() + 4 * tags.size());
  for (std::uint32_t t : tags)
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[(t >> shift) & 63];
  return out;
}

std::optional<std::vector<std::uint32_t>> CacheTags(std::string_view comment) {
  if (comment.substr(0, 7) != "Quiran ") return std::nullopt;
  std::vector<std::uint32_t> tags;
  const std::string_view prefix = kCommentPrefix;
  if (comment.substr(0, prefix.size()) != prefix || (comment.size() - prefix.size()) % 4 != 0) return tags;
  tags.reserve((comment.size() - prefix.size()) / 4);
  std::uint32_t t = 0;
  for (std::size_t i = prefix.size(); i < comment.size(); ++i) {
    const char* d = std::strchr(kDigits, comment[i]);
    if (!d || !*d) return std::vector<std::uint32_t>();
    t = t << 6 | static_cast<std::uint32_t>(d - kDigits);
    if ((i - prefix.size()) % 4 == 3) {
      tags.push_back(t);
      t = 0;
    }
  }
  return tags;
}
