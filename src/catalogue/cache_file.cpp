#include "catalogue/cache_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "catalogue/catalogue_file.h"
#include "catalogue/helper_thread.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/handle.h"
#include "win/text.h"

namespace {
constexpr int kQuality = 90;
// Rows of tiles handed between this thread and the helper at a time: enough to keep both busy.
// Their buffers are made once and used in turn: a row of tiles is over a megabyte, and a block
// that size taken from the heap and given back for each row costs a page fault per 4 KB.
constexpr std::size_t kRowsInFlight = 3;

std::vector<std::uint8_t*> BandRows(PixelBuffer& band) {
  std::vector<std::uint8_t*> rows(static_cast<std::size_t>(band.Height()));
  for (int y = 0; y < band.Height(); ++y) rows[static_cast<std::size_t>(y)] = band.Row(y);
  return rows;
}

// The work on one row of tiles (compressing the tiles cut from a decoded row, or decoding the
// thumbnails put into a row to encode), an item a tile. It is the larger half of reading or
// writing a cache, so both threads share it: the helper takes each row in turn, and the thread
// that reads or writes the picture, rather than wait for the helper to finish the row it needs
// next, does what is left of it itself. Each item is done by the one that claims it first.
class TSharedRow {
 public:
  TSharedRow(std::size_t count, std::function<void(std::size_t)> work) : count_(count), work_(std::move(work)) {}

  // Does items until none is left to claim; a failure is kept for Wait.
  void Help() noexcept {
    for (std::size_t i; (i = next_.fetch_add(1)) < count_;) {
      std::exception_ptr failure;
      try {
        work_(i);
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex_);
      if (failure && !failure_) failure_ = failure;
      if (++done_ == count_) finished_.notify_all();
    }
  }
  // Returns once every item is done; raises the first failure.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return done_ == count_; });
    if (failure_) std::rethrow_exception(failure_);
  }
  // Helps, then waits.
  void Finish() {
    Help();
    Wait();
  }

 private:
  const std::size_t count_;
  const std::function<void(std::size_t)> work_;
  std::atomic<std::size_t> next_{0};
  std::mutex mutex_;
  std::condition_variable finished_;
  std::size_t done_ = 0;
  std::exception_ptr failure_;
};
}  // namespace

std::vector<TThumbnailPtr> ReadCacheTiles(JpegRowReader::Source source, const std::vector<int>& tiles,
                                          const std::vector<std::uint32_t>& wantTags) {
  std::vector<TThumbnailPtr> out(tiles.size());
  // The requests in tile order, so the picture is read from top to bottom once.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < tiles.size(); ++i)
    if (tiles[i] >= 0 && tiles[i] < kMaxTiles) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return tiles[a] < tiles[b]; });
  if (order.empty()) return out;
  std::vector<std::pair<std::size_t, std::size_t>> repeats;  // (slot, earlier slot of the same tile)
  try {
    JpegRowReader reader(std::move(source));
    // Requests whose place the cache gives to another name are not read.
    if (const auto tags = CacheTags(reader.Comment())) {
      std::erase_if(order, [&](std::size_t slot) {
        const auto t = static_cast<std::size_t>(tiles[slot]);
        return t >= tags->size() || (*tags)[t] != wantTags[slot];
      });
    }
    const int width = reader.Width(), height = reader.Height();
    // A row of tiles is decoded here while the tiles of the rows before are compressed (see
    // TSharedRow). Row p is decoded into bands[p % kRowsInFlight] once row p - kRowsInFlight
    // is done with it.
    std::vector<PixelBuffer> bands(kRowsInFlight);
    std::deque<std::shared_ptr<TSharedRow>> inFlight;
    const auto finishOldest = [&] {
      inFlight.front()->Finish();
      inFlight.pop_front();
    };
    std::size_t posted = 0;
    // Declared after what its tasks use, so it ends first; should decoding fail, it still
    // compresses the rows decoded before.
    THelperThread helper;
    for (std::size_t k = 0; k < order.size();) {
      const int top = TileRect(tiles[order[k]]).Top;
      if (top + kTileHeight > height) break;  // the picture ends before this row of tiles
      reader.SkipRows(top - reader.NextRow());
      if (inFlight.size() == kRowsInFlight) finishOldest();
      PixelBuffer& band = bands[posted++ % kRowsInFlight];
      if (band.Empty()) band.Resize(width, kTileHeight);
      reader.ReadRows(BandRows(band).data(), kTileHeight);
      std::vector<std::pair<std::size_t, int>> cuts;  // (slot, left edge)
      for (; k < order.size() && TileRect(tiles[order[k]]).Top == top; ++k) {
        const std::size_t slot = order[k];
        if (k > 0 && tiles[order[k - 1]] == tiles[slot]) {  // the same tile asked for twice
          repeats.emplace_back(slot, order[k - 1]);
          continue;
        }
        const int left = TileRect(tiles[slot]).Left;
        if (left + kTileWidth <= width) cuts.emplace_back(slot, left);
      }
      inFlight.push_back(std::make_shared<TSharedRow>(cuts.size(), [&band, cuts, &out](std::size_t i) {
        PixelBuffer tile(kTileWidth, kTileHeight);
        const auto [slot, left] = cuts[i];
        for (int y = 0; y < kTileHeight; ++y) std::memcpy(tile.Row(y), band.Row(y) + left * 3, kTileWidth * 3);
        out[slot] = std::make_shared<const TThumbnail>(tile);
      }));
      helper.Post([row = inFlight.back()] { row->Help(); });
    }
    while (!inFlight.empty()) finishOldest();
  } catch (const Exception&) {
    // Damaged from here on: the tiles not read yet are made again from their pictures.
  }
  for (const auto& [slot, from] : repeats) out[slot] = out[from];
  return out;
}

std::vector<TThumbnailPtr> ReadCacheFile(const std::string& path, const std::vector<int>& tiles,
                                         const std::vector<std::uint32_t>& wantTags) {
  HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::vector<TThumbnailPtr>(tiles.size());
  win::File file(h);
  return ReadCacheTiles(
      [h](std::uint8_t* buffer, std::size_t size) -> std::size_t {
        DWORD got = 0;
        return ReadFile(h, buffer, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
      },
      tiles, wantTags);
}

void WriteCacheFile(win::ReplacingFile& out, const std::vector<TCacheTile>& tiles, JpegRowReader* old) {
  const int n = static_cast<int>(std::min<std::size_t>(tiles.size(), kMaxTiles));
  if (n == 0) throw Exception("サムネイルのない一覧はキャッシュにできません");
  const TCacheSize size = CacheImageSize(n);
  std::vector<std::uint32_t> tags(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) tags[static_cast<std::size_t>(i)] = tiles[static_cast<std::size_t>(i)].Tag;
  bool writeFailed = false;
  try {
    JpegRowWriter writer(
        size.Width, size.Height, kQuality,
        [&](const std::uint8_t* bytes, std::size_t count) {
          if (out.Write(bytes, count)) return true;
          writeFailed = true;
          return false;
        },
        CacheComment(tags), true);
    // Kept tiles go from the old cache's samples straight into the new one's (see ReadSamples).
    const bool oldSamples = old && old->ReadSamples();
    // The new thumbnails of the rows ahead are decoded (see TSharedRow) while this thread
    // reads the old cache's rows and encodes. Row r of tiles is put together in
    // bands[r % kRowsInFlight], black where there is no tile.
    std::vector<PixelBuffer> bands(kRowsInFlight);
    PixelBuffer before;  // the old cache's row of tiles
    std::deque<std::shared_ptr<TSharedRow>> ahead;
    // Declared after what its tasks use, so it ends first.
    THelperThread helper;
    int next = 0;
    for (int first = 0; first < n; first += kTilesPerRow) {
      for (; next < n && ahead.size() < kRowsInFlight; next += kTilesPerRow) {
        PixelBuffer& band = bands[static_cast<std::size_t>(next / kTilesPerRow) % kRowsInFlight];
        if (band.Empty()) {
          band.Resize(size.Width, kTileHeight);
        } else {
          std::memset(band.Data(), 0, band.Size());
        }
        const auto count = static_cast<std::size_t>(std::min(kTilesPerRow, n - next));
        ahead.push_back(std::make_shared<TSharedRow>(count, [&band, next, &tiles](std::size_t k) {
          const int i = next + static_cast<int>(k);
          const TThumbnail* t = tiles[static_cast<std::size_t>(i)].Thumbnail;
          if (!t) return;
          const PixelBuffer pixels = t->Pixels();
          const int left = TileRect(i).Left;
          for (int y = 0; y < kTileHeight; ++y) std::memcpy(band.Row(y) + left * 3, pixels.Row(y), kTileWidth * 3);
        }));
        helper.Post([row = ahead.back()] { row->Help(); });
      }
      ahead.front()->Finish();
      PixelBuffer& band = bands[static_cast<std::size_t>(first / kTilesPerRow) % kRowsInFlight];
      for (int y = 0; y < kTileHeight; ++y) BgrToSamples(band.Row(y), band.Width());
      const int last = std::min(first + kTilesPerRow, n);
      if (std::any_of(tiles.begin() + first, tiles.begin() + last, [](const TCacheTile& t) { return t.Keep; })) {
        if (!old) throw Exception("キャッシュの元の画像がありません");
        const int top = TileRect(first).Top;
        if (top + kTileHeight > old->Height()) throw EInvalidGraphic("キャッシュの元の画像が途中で終わっています");
        old->SkipRows(top - old->NextRow());
        if (before.Empty()) before.Resize(old->Width(), kTileHeight);
        old->ReadRows(BandRows(before).data(), kTileHeight);
        for (int i = first; i < last; ++i) {
          const int left = TileRect(i).Left;
          if (!tiles[static_cast<std::size_t>(i)].Keep) continue;
          if (left + kTileWidth > before.Width()) throw EInvalidGraphic("キャッシュの元の画像にないタイルです");
          for (int y = 0; y < kTileHeight; ++y) {
            std::memcpy(band.Row(y) + left * 3, before.Row(y) + left * 3, kTileWidth * 3);
            if (!oldSamples) BgrToSamples(band.Row(y) + left * 3, kTileWidth);
          }
        }
      }
      writer.WriteRows(BandRows(band).data(), kTileHeight);
      ahead.pop_front();
    }
    writer.Finish();
  } catch (const Exception&) {
    // A full disk reads as the file that could not be made, not as a JPEG fault.
    if (writeFailed) throw EFCreateError(Format("ファイル %s を作成できません", {out.Path()}));
    throw;
  }
}
