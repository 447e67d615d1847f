#include "catalogue/shown_folder.h"

#include <algorithm>
#include <bit>
#include <map>
#include <optional>

#include "catalogue/cache_file.h"
#include "catalogue/catalogue_merge.h"
#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "catalogue/ordered_jobs.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/picture_errors.h"
#include "imaging/spi_host.h"
#include "win/app.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/handle.h"
#include "win/text.h"
#include "win/wake_event.h"

namespace {

// Dates compared bit for bit: a damaged catalogue's "not a number" equals itself here.
bool DateChanged(const TFileItem& item) {
  return item.Entry && std::bit_cast<std::uint64_t>(item.Entry->Date) != std::bit_cast<std::uint64_t>(item.ReadDate);
}
bool CommentChanged(const TFileItem& item) { return item.Entry && item.Entry->Comment != item.ReadComment; }

// The cache on disk, open for reading its tiles again while the new one is written.
struct OpenCache {
  win::File file;
  std::optional<JpegRowReader> reader;
  explicit OpenCache(const std::string& path) {
    HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    file = win::File(h);
    try {
      reader.emplace([h](std::uint8_t* buffer, std::size_t size) -> std::size_t {
        DWORD got = 0;
        return ReadFile(h, buffer, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
      });
    } catch (const Exception&) {
      // Not a picture: none of its tiles is anyone's.
    }
  }
  void Close() {
    reader.reset();
    file = win::File();
  }
};

}  // namespace

int TShownFolder::Load(const std::string& folder, TGaugeForm& gauge, HWND mainWindow, int colorDepth) {
  if (Busy()) throw EAbort();
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
  const std::string path = FolderFilePath(folder, "");
  win::RemoveStaleTemporaries(path + kCatalogueFileName);
  win::RemoveStaleTemporaries(path + kCacheFileName);
  TCatalogue catalogue;
  if (win::FileExists(path + kCatalogueFileName)) {
    const std::vector<std::uint8_t> bytes = win::ReadFileBytes(path + kCatalogueFileName);
    readCheck_ = CatalogueCheck(bytes);
    catalogue = ParseCatalogue(bytes);
  }
  path_ = path;
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

  std::vector<TNameKey> keys(Items.size());
  for (std::size_t i = 0; i < Items.size(); ++i) keys[i] = {CatalogueKey(Items[i].Name), Items[i].Occurrence};
  std::vector<std::string> entryKeys(catalogue.size());
  for (std::size_t k = 0; k < catalogue.size(); ++k) entryKeys[k] = CatalogueKey(catalogue[k].Name);
  const std::vector<int> match = MatchEntries(keys, entryKeys);
  std::vector<int> tiles(Items.size(), -1);
  std::vector<std::uint32_t> tags(Items.size());
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (match[i] < 0) continue;
    const TCatalogueEntry& c = catalogue[static_cast<std::size_t>(match[i])].Entry;
    auto entry = std::make_unique<TPictureEntry>();
    entry->PixelWidth = static_cast<std::uint16_t>(c.PixelWidth);
    entry->PixelHeight = static_cast<std::uint16_t>(c.PixelHeight);
    entry->Date = c.Date;
    entry->Comment = c.Comment;
    Items[i].Entry = std::move(entry);
    Items[i].ReadDate = c.Date;
    Items[i].ReadComment = c.Comment;
    tiles[i] = c.TileIndex;
    tags[i] = TileTag(keys[i].Key);
  }
  catalogue.clear();
  if (std::any_of(tiles.begin(), tiles.end(), [](int t) { return t >= 0; })) {
    std::vector<TThumbnailPtr> thumbs = ReadCacheFile(path_ + kCacheFileName, tiles, tags);
    for (std::size_t i = 0; i < Items.size(); ++i)
      if (Items[i].Entry) Items[i].Entry->Thumbnail = std::move(thumbs[i]);
  }

  MakeThumbnails(gauge, colorDepth);
  failure.loaded = true;
  return static_cast<int>(Items.size());
}

int TShownFolder::MakeThumbnails(TGaugeForm& gauge, int colorDepth) {
  win::BusyScope busy(busy_);
  // The dialog's cancel also ends a plug-in call waiting for its helper.
  TSPIWaitCancel pluginCancel(gauge.Handle(), [&gauge] { return gauge.Cancelled(); });
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
  win::WakeEvent wake;
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
      item.ThumbnailMade = true;
      ++count;
    } catch (const std::exception&) {
      // This picture cannot be read: its item stays as it was, and the next visit tries again.
    }
  }
  return count;
}

void TShownFolder::MakeMissingThumbnails(TGaugeForm& gauge, int colorDepth) {
  if (Busy() || path_.empty()) return;
  gauge.SetMaxCount(static_cast<int>(Items.size()));
  gauge.Show();
  struct Hide {
    TGaugeForm& gauge;
    ~Hide() { gauge.Hide(); }
  } hide{gauge};
  MakeThumbnails(gauge, colorDepth);
}

void TShownFolder::Remake(std::size_t i, int colorDepth) {
  const std::string path = FolderFilePath(path_, Items[i].DiskName);
  std::unique_ptr<TPictureEntry> entry;
  try {
    // A plug-in may let messages through while it decodes: nothing may change the list until
    // it returns, so item i is still this file's then.
    win::BusyScope busy(busy_);
    entry = MakeThumbnail(path, colorDepth);
  } catch (const EInvalidGraphic& e) {
    throw EInvalidGraphic(PictureFileErrorText(path, e.Message()));  // which of the folder's files
  }
  // The new entry is made first: when it fails the old one, comment and date, stays untouched.
  TFileItem& item = Items[i];
  if (item.Entry) {
    entry->Comment = item.Entry->Comment;
    entry->Date = item.Entry->Date;
  }
  item.Entry = std::move(entry);
  item.ThumbnailMade = true;
}

void TShownFolder::RemakeThumbnail(std::size_t i, int colorDepth) {
  if (Busy() || i >= Items.size()) return;
  Remake(i, colorDepth);
}

void TShownFolder::SetNote(std::size_t i, double date, const std::string& comment, int colorDepth) {
  if (Busy() || i >= Items.size()) throw EAbort();
  std::string failure;
  if (!Items[i].Entry || !Items[i].Entry->Thumbnail) {
    try {
      Remake(i, colorDepth);
    } catch (const Exception& e) {
      // The picture cannot be decoded: what the user typed is kept all the same.
      failure = e.Message();
      if (!Items[i].Entry) Items[i].Entry = std::make_unique<TPictureEntry>();
    }
  }
  TPictureEntry& entry = *Items[i].Entry;
  entry.Date = date;
  entry.Comment = CatalogueText(comment);
  if (!failure.empty()) throw Exception(failure + "\r\n\r\nこのファイルのサムネイルは作成できませんでした。");
}

const TPictureEntry& TShownFolder::EnsureThumbnail(std::size_t i, int colorDepth) {
  if (Busy()) throw EAbort();
  const TFileItem& item = Items.at(i);
  if (!item.Entry || !item.Entry->Thumbnail) Remake(i, colorDepth);
  return *Items[i].Entry;
}

void TShownFolder::SortFiles(TSortKind kind) {
  if (Busy() || kind == skNone || Items.size() < 2) return;
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

std::string TShownFolder::Save() {
  if (path_.empty() || Items.empty()) return {};
  std::vector<TLeavingItem> leaving(Items.size());
  bool notes = false;
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const TFileItem& item = Items[i];
    TLeavingItem& l = leaving[i];
    l.Name = item.Name;
    l.Key = {CatalogueKey(item.Name), item.Occurrence};
    if (const TPictureEntry* e = item.Entry.get()) {
      l.HasEntry = true;
      l.Entry = {e->Date, e->PixelWidth, e->PixelHeight, e->Comment, -1};
      l.HasThumbnail = static_cast<bool>(e->Thumbnail);
    }
    l.DateChanged = DateChanged(item);
    l.CommentChanged = CommentChanged(item);
    l.ThumbnailMade = item.ThumbnailMade && l.HasThumbnail;
    notes = notes || l.DateChanged || l.CommentChanged;
  }
  if (!notes && std::none_of(leaving.begin(), leaving.end(), [](const TLeavingItem& l) { return l.ThumbnailMade; }))
    return {};

  const std::string cataloguePath = path_ + kCatalogueFileName, cachePath = path_ + kCacheFileName;
  // A date or comment that cannot be stored is reported; thumbnails alone are made again.
  auto notStored = [&](const Exception& e) -> std::string {
    if (!notes) return {};
    throw EFCreateError(e.Message() + "\r\n\r\nコメントと日付の変更はまだ保存されていません。");
  };
  // What stands on disk now, which another Quiran may have written since this one read it.
  TCatalogue disk;
  std::uint32_t diskCheck = 0;
  try {
    if (win::FileExists(cataloguePath)) {
      const std::vector<std::uint8_t> bytes = win::ReadFileBytes(cataloguePath);
      diskCheck = CatalogueCheck(bytes);
      disk = ParseCatalogue(bytes);
    }
  } catch (const Exception& e) {
    return notStored(e);
  }
  std::vector<std::string> diskKeys(disk.size());
  for (std::size_t k = 0; k < disk.size(); ++k) diskKeys[k] = CatalogueKey(disk[k].Name);
  OpenCache cache(cachePath);
  const std::optional<std::vector<std::uint32_t>> tags =
      cache.reader ? CacheTags(cache.reader->Comment()) : std::optional<std::vector<std::uint32_t>>(std::vector<std::uint32_t>());
  auto tileValid = [&](std::size_t k) {
    // A cache written by another program names nobody: it is trusted as long as the catalogue
    // beside it is the one it was trusted with when read.
    if (!tags) return diskCheck == readCheck_;
    const auto t = static_cast<std::size_t>(disk[k].Entry.TileIndex);
    return t < tags->size() && (*tags)[t] == TileTag(diskKeys[k]);
  };
  std::optional<std::map<std::string, int>> files;
  auto filesNamed = [&](const std::string& key) {
    if (!files) {
      files.emplace();
      try {
        for (const std::string& name : FolderFileNames(path_)) ++(*files)[CatalogueKey(name)];
      } catch (const Exception&) {
        return -1;  // not known: every entry stays
      }
    }
    auto f = files->find(key);
    return f == files->end() ? 0 : f->second;
  };
  TLeavePlan plan = PlanLeave(leaving, disk, diskKeys, tileValid, filesNamed);

  // The cache first: the catalogue written after it never names a tile it does not hold.
  bool thumbnailsStored = true;
  std::string cacheFailure;
  if (!plan.Tiles.empty()) {
    try {
      win::ReplacingFile out(cachePath);
      std::vector<TCacheTile> tiles(plan.Tiles.size());
      for (std::size_t t = 0; t < tiles.size(); ++t) {
        const TTilePlan& p = plan.Tiles[t];
        tiles[t] = {p.Item >= 0 ? Items[static_cast<std::size_t>(p.Item)].Entry->Thumbnail.get() : nullptr, p.Keep,
                    p.Tag};
      }
      WriteCacheFile(out, tiles, cache.reader ? &*cache.reader : nullptr);
      cache.Close();
      out.Commit();
    } catch (const Exception& e) {
      // The new thumbnails are not on disk: no entry names their places.
      thumbnailsStored = false;
      cacheFailure = e.Message();
      for (TCatalogueItem& c : plan.Catalogue) {
        const int t = c.Entry.TileIndex;
        if (t >= 0 && plan.Tiles[static_cast<std::size_t>(t)].Item >= 0) c.Entry.TileIndex = -1;
      }
    }
  }
  cache.Close();
  const std::vector<std::uint8_t> bytes = SerializeCatalogue(plan.Catalogue);
  try {
    win::WriteFileReplacing(cataloguePath, bytes);
  } catch (const Exception& e) {
    return notStored(e);
  }

  // Written: the items now stand as the catalogue has them (a date or comment another Quiran
  // wrote where this run changed nothing included).
  readCheck_ = CatalogueCheck(bytes);
  for (std::size_t i = 0; i < Items.size(); ++i) {
    TFileItem& item = Items[i];
    const int e = plan.ItemEntry[i];
    if (e >= 0 && item.Entry) {
      const TCatalogueEntry& written = plan.Catalogue[static_cast<std::size_t>(e)].Entry;
      if (!leaving[i].DateChanged) item.Entry->Date = written.Date;
      if (!leaving[i].CommentChanged) item.Entry->Comment = written.Comment;
      item.ReadDate = written.Date;
      item.ReadComment = written.Comment;
    }
    if (thumbnailsStored) item.ThumbnailMade = false;
  }
  if (thumbnailsStored || !notes) return {};
  return cacheFailure + "\r\n\r\nコメントと日付は保存しました。サムネイルは次にこのフォルダーを開くときに作り直します。";
}

std::string TShownFolder::Close() {
  if (Busy()) throw EAbort();
  std::string notice = Save();
  Release();
  return notice;
}

void TShownFolder::CloseWithoutSaving() {
  if (Busy()) throw EAbort();
  Release();
}

bool TShownFolder::Changed() const {
  return std::any_of(Items.begin(), Items.end(),
                     [](const TFileItem& i) { return DateChanged(i) || CommentChanged(i) || i.ThumbnailMade; });
}

void TShownFolder::Release() {
  Items.clear();
  path_.clear();
  readCheck_ = 0;
}

bool LeaveShownFolder(TShownFolder& folder, HWND owner, bool mayStay) {
  const std::string& title = win::Application::Title();
  for (;;) {
    std::string notice;
    try {
      notice = folder.Close();
    } catch (const EAbort&) {
      throw;
    } catch (const Exception& e) {
      std::string text = e.Message() + "\r\n\r\nもう一度保存しますか？\r\n「いいえ」を選ぶと、保存せずにこのフォルダーを離れます。";
      if (mayStay) text += "\r\n「キャンセル」を選ぶと、このフォルダーに戻ります。";
      const int answer =
          win::CurrentDialogs().MessageDlg(owner, text, title, (mayStay ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONSTOP);
      if (answer == IDYES) continue;
      if (answer != IDNO) return false;
      folder.CloseWithoutSaving();
      return true;
    }
    if (!notice.empty()) win::CurrentDialogs().MessageDlg(owner, notice, title, MB_OK | MB_ICONWARNING);
    return true;
  }
}
