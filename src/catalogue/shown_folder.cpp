#include "catalogue/shown_folder.h"

#include <algorithm>

#include "catalogue/cache_file.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "catalogue/ordered_jobs.h"
#include "catalogue/thumbnail_maker.h"
#include "win/app.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"

namespace {

// The form in which a scanned name meets its catalogue entry: upper-cased as the scan does
// it, and cut as its 255-byte field would cut it.
std::string MatchKey(const std::string& name) { return std::string(CatalogueText(win::UpperJa(name))); }

// Sets a flag for the length of a scope.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

// A Win32 event the workers set when a result is ready, so the user-interface thread can sleep
// until then or until a message arrives.
class WakeEvent {
 public:
  WakeEvent() : h_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    if (!h_) throw Exception("イベントを作成できません");
  }
  ~WakeEvent() { CloseHandle(h_); }
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;
  void Set() { SetEvent(h_); }
  void WaitOrMessage() { MsgWaitForMultipleObjects(1, &h_, FALSE, INFINITE, QS_ALLINPUT); }

 private:
  HANDLE h_;
};

}  // namespace

TCatalogue ReadCatalogue(const std::string& folder, std::uint32_t* check) {
  const std::string path = FolderFilePath(folder, kCatalogueFileName);
  if (!win::FileExists(path)) return {};
  const std::vector<std::uint8_t> bytes = win::ReadFileBytes(path);
  if (check) *check = CatalogueCheck(bytes);
  return ParseCatalogue(bytes);
}

std::uint32_t WriteCatalogue(win::ReplacingFile& file, const TCatalogue& catalogue) {
  const std::vector<std::uint8_t> bytes = SerializeCatalogue(catalogue);
  file.Write(bytes.data(), bytes.size());
  return CatalogueCheck(bytes);
}

int TShownFolder::Load(const std::string& folder, TGaugeForm& gauge, HWND mainWindow, int colorDepth) {
  if (busy_) throw EAbort();
  Release();
  // A load that fails part-way lists nothing: a list missing entries must never be written back
  // over the folder's catalogue.
  struct ReleaseOnFailure {
    TShownFolder& f;
    bool loaded = false;
    ~ReleaseOnFailure() {
      if (!loaded) f.Release();
    }
  } failure{*this};
  std::uint32_t check = 0;
  TCatalogue catalogue = ReadCatalogue(folder, &check);
  path_ = FolderFilePath(folder, "");
  const std::string cachePath = path_ + kCacheFileName;
  ScanFolder(path_, Items);

  gauge.SetPosition(0);
  gauge.SetMaxCount(static_cast<int>(Items.size()));
  gauge.SetDirName(path_);
  gauge.Show();
  if (mainWindow) EnableWindow(mainWindow, FALSE);
  struct Restore {
    TGaugeForm& gauge;
    HWND main;
    ~Restore() {
      if (main) EnableWindow(main, TRUE);
      gauge.Hide();
    }
  } restore{gauge, mainWindow};

  std::vector<int> tiles = MergeCatalogue(Items, catalogue, &MatchKey);
  catalogue.clear();
  if (std::any_of(tiles.begin(), tiles.end(), [](int t) { return t >= 0; })) {
    std::vector<TThumbnailPtr> thumbs = ReadCacheFile(cachePath, tiles, check);
    for (std::size_t i = 0; i < Items.size(); ++i)
      if (Items[i].Entry) Items[i].Entry->Thumbnail = std::move(thumbs[i]);
  }

  MakeThumbnails(gauge, colorDepth);
  NoteSaved();
  failure.loaded = true;
  return static_cast<int>(Items.size());
}

int TShownFolder::MakeThumbnails(TGaugeForm& gauge, int colorDepth) {
  BusyScope busy(busy_);
  const std::size_t n = Items.size();
  const std::uint32_t background = win::SysColor(COLOR_BTNFACE);
  // The registry is read here, on this thread; the workers get the paths and decoders.
  std::vector<bool> wanted(n), onWorker(n);
  std::vector<TThumbnailDecoder> decoders(n, TThumbnailDecoder::Picture);
  std::vector<std::string> paths(n);
  for (std::size_t i = 0; i < n; ++i) {
    wanted[i] = !Items[i].Entry || !Items[i].Entry->Thumbnail;
    if (!wanted[i]) continue;
    paths[i] = FolderFilePath(path_, Items[i].DiskName);
    decoders[i] = ThumbnailDecoderFor(paths[i]);
    onWorker[i] = decoders[i] != TThumbnailDecoder::Picture;
  }
  const bool timed = Times != nullptr;
  if (timed) Times->assign(n, {});
  WakeEvent wake;
  TOrderedJobs<TThumbnailMade> jobs(
      onWorker, TOrderedJobs<TThumbnailMade>::DefaultThreads(),
      [&](std::size_t i, const std::atomic<bool>& stop) {
        return MakeThumbnailWith(decoders[i], paths[i], colorDepth, background, &stop, timed);
      },
      [&wake] { wake.Set(); });

  // Progress and pending messages once per file, but not more often than ten times a second
  // (a counter the eye still follows; cancelling answers within it): a folder of thousands of
  // thumbnails read from the cache would otherwise spend most of its time repainting the
  // dialog, and each repaint (some 15 ms under Wine) takes a core from the decoding workers.
  constexpr DWORD kUpdateTicks = 100;
  DWORD shown = GetTickCount() - kUpdateTicks;
  int count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    TThumbnailTimes* times = timed ? &(*Times)[i] : nullptr;
    if (GetTickCount() - shown >= kUpdateTicks || i + 1 == n) {
      TTimed t(times ? &times->Progress : nullptr);
      gauge.SetPosition(static_cast<int>(i) + 1);
      win::Application::ProcessMessages();
      shown = GetTickCount();
    }
    if (gauge.Cancelled()) break;
    if (!onWorker[i]) jobs.Passed(i);
    if (!wanted[i]) continue;
    {
      TTimed t(times ? &times->Wait : nullptr);
      if (!jobs.Ready(i)) gauge.SetPosition(static_cast<int>(i) + 1);  // shown while it waits
      while (!jobs.Ready(i) && !gauge.Cancelled()) {
        wake.WaitOrMessage();
        win::Application::ProcessMessages();
      }
    }
    if (gauge.Cancelled()) break;
    try {
      TThumbnailMade made =
          onWorker[i] ? jobs.Take(i) : MakeThumbnailWith(decoders[i], paths[i], colorDepth, background, nullptr, timed);
      if (times) made.Times.Wait = times->Wait, made.Times.Progress = times->Progress, *times = made.Times;
      TFileItem& item = Items[i];
      if (!item.Entry) item.Entry = std::make_unique<TPictureEntry>();
      item.Entry->Thumbnail = std::move(made.Thumbnail);
      item.Entry->PixelWidth = static_cast<std::uint16_t>(made.Width);
      item.Entry->PixelHeight = static_cast<std::uint16_t>(made.Height);
      ++count;
    } catch (const std::exception&) {
      // This picture cannot be read: its item stays as it was, and the next visit tries again.
    }
  }
  return count;
}

void TShownFolder::MakeMissingThumbnails(TGaugeForm& gauge, int colorDepth) {
  if (busy_ || path_.empty()) return;
  gauge.SetMaxCount(static_cast<int>(Items.size()));
  gauge.Show();
  struct Hide {
    TGaugeForm& gauge;
    ~Hide() { gauge.Hide(); }
  } hide{gauge};
  if (MakeThumbnails(gauge, colorDepth) > 0) thumbnailsMade_ = true;
}

void TShownFolder::Remake(TFileItem& item, int colorDepth) {
  // The new entry is made first: when it fails the old one, comment and date, stays untouched.
  std::unique_ptr<TPictureEntry> entry = MakeThumbnail(FolderFilePath(path_, item.DiskName), colorDepth);
  if (item.Entry) {
    entry->Comment = item.Entry->Comment;
    entry->Date = item.Entry->Date;
  }
  item.Entry = std::move(entry);
  thumbnailsMade_ = true;
}

void TShownFolder::RemakeThumbnail(std::size_t i, int colorDepth) {
  if (busy_ || i >= Items.size()) return;
  Remake(Items[i], colorDepth);
}

void TShownFolder::SetNote(std::size_t i, double date, const std::string& comment, int colorDepth) {
  if (busy_ || i >= Items.size()) throw EAbort();
  TFileItem& item = Items[i];
  // An entry is only ever made together with its thumbnail.
  if (!item.Entry || !item.Entry->Thumbnail) {
    try {
      Remake(item, colorDepth);
    } catch (const Exception& e) {
      throw Exception(e.Message() + "\r\n\r\nコメントと日付は変更されていません。");
    }
  }
  item.Entry->Date = date;
  item.Entry->Comment = CatalogueText(comment);
}

const TPictureEntry& TShownFolder::EnsureThumbnail(std::size_t i, int colorDepth) {
  TFileItem& item = Items.at(i);
  if (!item.Entry || !item.Entry->Thumbnail) Remake(item, colorDepth);
  return *item.Entry;
}

void TShownFolder::SortFiles(TSortKind kind) {
  if (busy_ || kind == skNone || Items.size() < 2) return;
  std::vector<TSortKey> keys(Items.size());
  if (kind == skName || kind == skExtension) {
    std::vector<std::string> sortKeys(Items.size());
    for (std::size_t i = 0; i < Items.size(); ++i) {
      const std::string& name = Items[i].Name;
      sortKeys[i] = win::SortKeyJa(kind == skName ? std::string_view(name) : SortExtension(name));
    }
    std::vector<std::int64_t> ranks =
        RankTexts(Items.size(), [&](std::size_t a, std::size_t b) { return sortKeys[a].compare(sortKeys[b]); });
    for (std::size_t i = 0; i < Items.size(); ++i) keys[i].Rank = ranks[i];
  } else {
    for (std::size_t i = 0; i < Items.size(); ++i)
      if (const TPictureEntry* e = Items[i].Entry.get())
        keys[i] = {0, true, static_cast<std::int64_t>(e->PixelWidth) * e->PixelHeight, e->Date};
  }
  const std::vector<std::size_t> order = SortOrder(std::move(keys), kind);
  TFileItems sorted;
  sorted.reserve(Items.size());
  for (std::size_t from : order) sorted.push_back(std::move(Items[from]));
  Items = std::move(sorted);
}

void TShownFolder::Close() {
  if (busy_) throw EAbort();
  if (path_.empty() || Items.empty()) {
    Release();
    return;
  }
  TCatalogue catalogue;
  std::vector<const TThumbnail*> tiles(Items.size(), nullptr);
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const TPictureEntry* e = Items[i].Entry.get();
    if (!e) continue;
    // Past the largest cache a thumbnail is not stored; it is made again on the next visit.
    const bool stored = e->Thumbnail && i < static_cast<std::size_t>(kMaxTiles);
    if (stored) tiles[i] = e->Thumbnail.get();
    catalogue.push_back({Items[i].Name, {e->Date, e->PixelWidth, e->PixelHeight, e->Comment, stored ? static_cast<int>(i) : -1}});
  }
  const std::string cachePath = path_ + kCacheFileName;
  try {
    // Both new files are written whole before either is put in place; the cache's comment
    // names its catalogue, so a cache left from before (a failure between the two) is known.
    win::ReplacingFile catFile(path_ + kCatalogueFileName), cacheFile(cachePath);
    WriteCacheFile(cacheFile, tiles, CacheComment(WriteCatalogue(catFile, catalogue)));
    catFile.Commit();
    try {
      cacheFile.Commit();
    } catch (const Exception&) {
      DeleteFileW(win::Wide(cachePath).c_str());  // it might have no comment to tell it is old
      throw;
    }
  } catch (const Exception& e) {
    if (Changed()) {
      NoteSaved();  // said once: leaving again without a new change does not stop at it
      throw EFCreateError(e.Message() +
                          "\r\n\r\nコメント・日付・サムネイルの変更はまだ保存されていません。"
                          "\r\nもう一度このフォルダーを離れると、保存せずに閉じます。");
    }
  }
  Release();
}

bool TShownFolder::Changed() const {
  if (thumbnailsMade_) return true;
  for (const TFileItem& item : Items) {
    const TPictureEntry* e = item.Entry.get();
    if (!e) continue;
    auto found = notes_.find(item.Name);
    if (found == notes_.end() ? (e->Date != 0 || !e->Comment.empty())
                              : (found->second.first != e->Date || found->second.second != e->Comment))
      return true;
  }
  return false;
}

void TShownFolder::NoteSaved() {
  thumbnailsMade_ = false;
  notes_.clear();
  for (const TFileItem& item : Items)
    if (item.Entry) notes_[item.Name] = {item.Entry->Date, item.Entry->Comment};
}

void TShownFolder::Release() {
  Items.clear();
  path_.clear();
  notes_.clear();
  thumbnailsMade_ = false;
}
