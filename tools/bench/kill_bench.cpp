// The real kill: Quiran.exe driven through its windows as a user drives it, and ended with
// TerminateProcess at a random moment while it stores what the user changed.
//
// A folder of pictures (2,000 by default), each of two flat colours of its own, is shown in a
// copy of the program with a library of one album. Each round starts the program, opens the
// folder, checks through the comment dialog that comments saved before are shown, types new
// comments, makes one thumbnail again (so the cache must be written too: both files large),
// picks another thumbnail size (so the library changes), closes the window and kills the
// process at a random moment of the save that follows (when it begins and ends is watched in
// every tenth round, which is not killed). After every kill the folder's
// files must be the old pair or the new pair as the next start reads them: every comment the
// old or every comment the new, nothing in between; every tile taken is its own picture's;
// both files whole. The library likewise is the old one or the new one, whole.
//
// Usage: kill_bench QUIRAN_EXE [--kills N] [--pictures N] [--seed S]
// Prints its figures; exits with 1 on the first fault found.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "album/album_file.h"
#include "app/commands.h"
#include "app/main_layout.h"
#include "bench_clock.h"
#include "catalogue/cache_file.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/folder_scan.h"
#include "imaging/jpeg_rows.h"
#include "win/file_io.h"
#include "win/sjis.h"
#include "win/text.h"

namespace {

HANDLE running = nullptr;  // the Quiran.exe started last, ended with the driver

[[noreturn]] void Fail(const std::string& what) {
  std::printf("FAULT: %s\n", what.c_str());
  std::fflush(stdout);
  if (running) TerminateProcess(running, 3);
  ExitProcess(1);
}

void Remove(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring n = fd.cFileName;
      if (n == L"." || n == L"..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        Remove(dir + L"\\" + n);
      else
        DeleteFileW((dir + L"\\" + n).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

// ---- the pictures: two flat colours each, told apart after any JPEG round trip ----

std::uint32_t Colour(int i, int half) {
  std::uint32_t h = static_cast<std::uint32_t>(i * 2 + half) * 2654435761u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  std::uint32_t c = 0;
  for (int s = 0; s < 24; s += 8) c |= (32 + ((h >> s) & 0xFF) * 191 / 255) << s;  // 32..223 per channel
  return c;
}

std::string PictureName(int i) {
  char n[32];
  std::snprintf(n, sizeof n, "P%04d.JPG", i);
  return n;
}

void MakePictures(const std::string& folder, int count) {
  for (int i = 0; i < count; ++i) {
    PixelBuffer p(64, 48);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) p.SetPixel(x, y, Colour(i, x < 32 ? 0 : 1));
    win::WriteFileReplacing(folder + PictureName(i), CompressPixels(p, 95));
  }
}

bool Near(std::uint32_t a, std::uint32_t b) {
  for (int s = 0; s < 24; s += 8)
    if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 24) return false;
  return true;
}

// ---- the running program, driven through its windows ----

struct Found {
  DWORD pid;
  std::wstring suffix;
  HWND window = nullptr;
};
BOOL CALLBACK FindTopLevel(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t title[256] = {};
  GetWindowTextW(h, title, 256);
  const std::wstring t = title;
  if (pid == f->pid && IsWindowVisible(h) && t.size() >= f->suffix.size() &&
      t.compare(t.size() - f->suffix.size(), f->suffix.size(), f->suffix) == 0) {
    f->window = h;
    return FALSE;
  }
  return TRUE;
}
struct Child {
  const wchar_t* cls;
  HWND found = nullptr;
};
BOOL CALLBACK FindChild(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<Child*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (_wcsicmp(cls, c->cls) == 0) {
    c->found = h;
    return FALSE;
  }
  return TRUE;
}
HWND ChildOfClass(HWND parent, const wchar_t* cls) {
  Child c{cls};
  EnumChildWindows(parent, &FindChild, reinterpret_cast<LPARAM>(&c));
  return c.found;
}

struct Stage {
  HWND main, treePanel, found = nullptr;
};
BOOL CALLBACK FindStage(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Stage*>(lp);
  HWND parent = GetParent(h);
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (wcsncmp(cls, L"QuiranWindow", 12) == 0 && parent != s->main && parent != s->treePanel &&
      GetParent(parent) == s->main)
    s->found = h;
  return !s->found;
}

template <class F>
bool WaitFor(F done, double seconds) {
  const double end = Now() + seconds;
  while (!done()) {
    if (Now() > end) return false;
    Sleep(5);
  }
  return true;
}

class Quiran {
 public:
  explicit Quiran(const std::string& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + win::Wide(exe) + L"\"";
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
      Fail("Quiran.exe does not start");
    running = pi_.hProcess;
    if (!WaitFor([&] { return (main_ = TopLevel(L"Quiran\uFF1F")) != nullptr; }, 120)) Fail("no main window");
    tree_ = ChildOfClass(main_, L"SysTreeView32");
    list_ = ChildOfClass(main_, L"ListBox");
    // The shelf's scroll box: the only window of Quiran's own inside a panel that does not hold
    // the tree.
    Stage stage{main_, GetParent(tree_)};
    EnumChildWindows(main_, &FindStage, reinterpret_cast<LPARAM>(&stage));
    stage_ = stage.found;
    if (!tree_ || !list_ || !stage_) Fail("the main window's controls are not found");
  }
  ~Quiran() {
    if (pi_.hProcess) {
      running = nullptr;
      TerminateProcess(pi_.hProcess, 3);
      WaitForSingleObject(pi_.hProcess, 10000);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }

  // Clicks the first album's book, then the folder in the tree, as keys do.
  void OpenFolder(int count) {
    const int x = app::BookLeft(1, 0) + app::kBookWidth / 2;
    PostMessageW(stage_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 100));
    PostMessageW(stage_, WM_LBUTTONUP, 0, MAKELPARAM(x, 100));
    if (!WaitFor([&] { return SendMessageW(tree_, TVM_GETCOUNT, 0, 0) == 2; }, 30)) {
      RECT r{};
      GetWindowRect(stage_, &r);
      wchar_t cls[64] = {};
      GetClassNameW(stage_, cls, 64);
      std::printf("stage %ls %ld,%ld-%ld,%ld tree items %ld\n", cls, r.left, r.top, r.right, r.bottom,
                  static_cast<long>(SendMessageW(tree_, TVM_GETCOUNT, 0, 0)));
      Fail("the album does not open");
    }
    // The album's node selected, then the key that moves to its folder.
    const LRESULT root = SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, root);
    PostMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0);
    if (!WaitFor([&] { return SendMessageW(list_, LB_GETCOUNT, 0, 0) == count; }, 300)) Fail("the folder does not open");
  }
  // Opens the comment dialog on an item; returns the dialog and its memo.
  std::pair<HWND, HWND> OpenComment(int item) {
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
    PostMessageW(main_, WM_COMMAND, app::cmd::N21, 0);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = TopLevel(L"\u306E\u30D7\u30ED\u30D1\u30C6\u30A3")) != nullptr; }, 30))
      Fail("the comment dialog does not open");
    HWND memo = ChildOfClass(dialog, L"Edit");
    if (!memo) Fail("the comment dialog has no memo");
    return {dialog, memo};
  }
  void CloseDialog(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    if (!WaitFor([&] { return !IsWindowVisible(dialog); }, 30)) Fail("the comment dialog does not close");
  }
  void SetComment(int item, const std::wstring& text) {
    auto [dialog, memo] = OpenComment(item);
    SendMessageW(memo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    CloseDialog(dialog, IDOK);
  }
  std::wstring Comment(int item) {
    auto [dialog, memo] = OpenComment(item);
    wchar_t text[512] = {};
    SendMessageW(memo, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    CloseDialog(dialog, IDCANCEL);
    return text;
  }
  void Remake(int item) {
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageW(main_, WM_COMMAND, app::cmd::N6, 0);
  }
  void Size(int index) { SendMessageW(main_, WM_COMMAND, app::cmd::N11 + index - 1, 0); }
  void PostClose() { PostMessageW(main_, WM_CLOSE, 0, 0); }
  bool Ended(DWORD ms) { return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }
  void Kill() { TerminateProcess(pi_.hProcess, 9); }

 private:
  HWND TopLevel(const wchar_t* suffix) {
    Found f{pi_.dwProcessId, suffix};
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&f));
    return f.window;
  }
  PROCESS_INFORMATION pi_{};
  HWND main_ = nullptr, tree_ = nullptr, list_ = nullptr, stage_ = nullptr;
};

// ---- when a close stores the files ----

FILETIME WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  GetFileAttributesExW(win::Wide(path).c_str(), GetFileExInfoStandard, &d);
  return d.ftLastWriteTime;
}
bool AnyTemporary(const std::string& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(win::Wide(folder + "*.~*.tmp").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}
// Watches a close that is not killed: when the folder's first temporary file appears (the
// save begins) and when the library is in place (the save ends), in seconds after the close.
struct SaveWindow {
  double begin = 0, end = 0;
};

// ---- what the folder and the library hold ----

struct Saved {
  std::map<std::string, std::string> comments;  // picture name -> comment
  int size = 3;                                 // the folder's thumbnail size in the library
};

// The folder's two files as the next start reads them. Fails on anything partial, mixed or
// shown for another picture; answers whether the comments are the old or the new ones.
enum class Pair { Old, New };
struct Reading {
  Pair comments;
  bool catalogueIsOld, cacheIsOld;
  int untrusted;  // entries whose tile the cache does not hold for them (made again next time)
};
Reading ReadFolder(const std::string& folder, int count, const Saved& old, const Saved& now,
                   const std::vector<std::uint8_t>& oldCatalogue, const std::vector<std::uint8_t>& oldCache) {
  const std::vector<std::uint8_t> bytes = win::ReadFileBytes(folder + kCatalogueFileName);
  if (bytes.size() != 4 + kCatalogueEntrySize * static_cast<std::size_t>(count))
    Fail("the catalogue is " + std::to_string(bytes.size()) + " bytes, not whole");
  const TCatalogue catalogue = ParseCatalogue(bytes);
  bool isOld = true, isNew = true;
  std::vector<int> tiles;
  std::vector<std::uint32_t> tags;
  std::vector<int> picture;
  for (const TCatalogueItem& c : catalogue) {
    auto o = old.comments.find(c.Name), n = now.comments.find(c.Name);
    const std::string wasOld = o == old.comments.end() ? "" : o->second;
    const std::string wasNew = n == now.comments.end() ? "" : n->second;
    isOld = isOld && c.Entry.Comment == wasOld;
    isNew = isNew && c.Entry.Comment == wasNew;
    tiles.push_back(c.Entry.TileIndex);
    tags.push_back(TileTag(CatalogueKey(c.Name)));
    picture.push_back(std::atoi(c.Name.c_str() + 1));
  }
  if (!isOld && !isNew) Fail("the catalogue holds some old and some new comments");
  const std::vector<std::uint8_t> cache = win::ReadFileBytes(folder + kCacheFileName);
  try {
    DecompressPixels(cache.data(), cache.size());
  } catch (const std::exception& e) {
    Fail(std::string("the cache is not a whole picture: ") + e.what());
  }
  const std::vector<TThumbnailPtr> thumbs = ReadCacheFile(folder + kCacheFileName, tiles, tags);
  Reading r{isOld && !isNew ? Pair::Old : isNew && !isOld ? Pair::New : Pair::Old, bytes == oldCatalogue,
            cache == oldCache, 0};
  for (std::size_t k = 0; k < catalogue.size(); ++k) {
    if (!thumbs[k]) {
      ++r.untrusted;
      continue;
    }
    const PixelBuffer p = thumbs[k]->Pixels();
    if (!Near(p.Pixel(36, 54), Colour(picture[k], 0)) || !Near(p.Pixel(108, 54), Colour(picture[k], 1)))
      Fail(catalogue[k].Name + " shows another picture's thumbnail");
  }
  return r;
}

int LibrarySize(const std::string& path) {
  const AlbumLibraryData data = ReadAlbumLibrary(win::ReadFileBytes(path));
  if (!data.MagicOk || !data.Complete || data.Albums.size() != 1 || data.Albums[0].Folders.size() != 1 ||
      !data.Albums[0].Folders[0].Record)
    Fail("the library is not whole");
  return data.Albums[0].Folders[0].Record->SizeIndex;
}

std::wstring WideComment(int round, int item) {
  return L"round " + std::to_wstring(round) + L" \u5199\u771F " + std::to_wstring(item) + L"\r\n\u6D77\u8FBA\u3067";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: kill_bench QUIRAN_EXE [--kills N] [--pictures N] [--seed S]\n");
    return 2;
  }
  int kills = 300, count = 2000;
  unsigned seed = GetTickCount();
  for (int a = 2; a + 1 < argc; a += 2) {
    const std::wstring k = argv[a];
    const int v = _wtoi(argv[a + 1]);
    if (k == L"--kills") kills = v;
    if (k == L"--pictures") count = v;
    if (k == L"--seed") seed = static_cast<unsigned>(v);
  }
  std::mt19937 random(seed);
  const std::string source = win::Narrow(argv[1]);
  const std::string sourceDir(sjis::ExtractFilePath(source));

  // A program of its own with its helpers beside it, a library of one album, the pictures.
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  const std::string top = win::Narrow(base) + "quiran_kill_" + std::to_string(GetCurrentProcessId()) + "\\";
  const std::string app = top + "app\\", folder = top + "\u5199\u771F\\";
  CreateDirectoryW(win::Wide(top).c_str(), nullptr);
  CreateDirectoryW(win::Wide(app).c_str(), nullptr);
  CreateDirectoryW(win::Wide(folder).c_str(), nullptr);
  const std::string exe = app + "Quiran.exe", library = app + "Quiran.Alb";
  for (const char* file : {"Quiran.exe", "QuiranSpiHost.exe", "QuiranSpiHost64.exe"})
    CopyFileW(win::Wide(sourceDir + file).c_str(), win::Wide(app + file).c_str(), FALSE);
  {
    TFolderList folders;
    folders.push_back({folder.substr(0, folder.size() - 1), std::make_unique<TFolderRecord>()});
    std::vector<AlbumRef> albums = {AlbumRef{"\u5BB6\u65CF", 0x0000FF, "", 0, folders}};
    win::WriteFileReplacing(library, WriteAlbumLibrary(albums));
  }
  double t = Now();
  MakePictures(folder, count);
  std::printf("kill_bench: %d pictures made in %.1f s; seed %u\n", count, Now() - t, seed);

  // A close that is not killed, watched: when the save begins and ends.
  std::vector<double> begins, ends;
  auto watchClose = [&](Quiran& q) {
    const FILETIME before = WriteTime(library);
    const double start = Now();
    double begin = -1, end = -1;
    q.PostClose();
    while (!q.Ended(0)) {
      if (begin < 0 && AnyTemporary(folder)) begin = Now() - start;
      const FILETIME now = WriteTime(library);
      if (end < 0 && CompareFileTime(&before, &now) != 0) end = Now() - start;
      if (Now() - start > 300) Fail("a close does not end");
      Sleep(1);
    }
    if (begin < 0 || end < 0) Fail("a close wrote no temporary file or no library");
    begins.push_back(begin);
    ends.push_back(end);
  };

  // The first start makes every thumbnail and writes both files.
  Saved saved;
  {
    Quiran q(exe);
    t = Now();
    q.OpenFolder(count);
    std::printf("first load (every thumbnail made): %.1f s\n", Now() - t);
    q.Size(4);
    watchClose(q);
  }
  saved.size = LibrarySize(library);

  int oldPairs = 0, newPairs = 0, catOldCacheNew = 0, libraryOld = 0, libraryNew = 0, staleSeen = 0, untrusted = 0;
  int rounds = 0, killed = 0;
  std::vector<double> killAt, loads;
  while (killed < kills) {
    ++rounds;
    Quiran q(exe);
    t = Now();
    q.OpenFolder(count);
    loads.push_back(Now() - t);
    // The temporary files a killed writer left are gone once the folder is shown.
    if (!win::FileExists(folder + kCatalogueFileName)) Fail("no catalogue");
    for (const std::string& name : FolderFileNames(folder))
      if (name.find(".~") != std::string::npos) Fail("a stale temporary file stayed: " + name);
    // Comments saved before are shown: those of the last round, and one more at random.
    std::vector<int> checks;
    for (const auto& [name, comment] : saved.comments) checks.push_back(std::atoi(name.c_str() + 1));
    std::shuffle(checks.begin(), checks.end(), random);
    checks.resize(std::min<std::size_t>(checks.size(), 2));
    for (int item : checks) {
      const std::string want = saved.comments[PictureName(item)];
      const std::string shown = win::Narrow(q.Comment(item));
      if (shown != want) Fail(PictureName(item) + " shows \"" + shown + "\", saved was \"" + want + "\"");
    }

    // This round's changes: comments, a thumbnail made again, another size.
    Saved next = saved;
    for (int c = 0; c < 3; ++c) {
      const int item = static_cast<int>(random() % static_cast<unsigned>(count));
      const std::wstring text = WideComment(rounds, item);
      q.SetComment(item, text);
      next.comments[PictureName(item)] = win::Narrow(text);
    }
    q.Remake(static_cast<int>(random() % static_cast<unsigned>(count)));
    next.size = saved.size % 5 + 1;
    q.Size(next.size);

    const std::vector<std::uint8_t> oldCatalogue = win::ReadFileBytes(folder + kCatalogueFileName);
    const std::vector<std::uint8_t> oldCache = win::ReadFileBytes(folder + kCacheFileName);
    // Every tenth round closes without a kill: the new pair whole, and when a save begins and
    // ends. The others are killed at a moment spread over the save, a little before and after.
    const bool kill = rounds % 10 != 0;
    const double begin = Median(begins), end = Median(ends), spread = 0.1 * (end - begin);
    const double delay =
        kill ? std::uniform_real_distribution<double>(std::max(0.0, begin - spread), end + spread)(random) : 0;
    if (kill) {
      q.PostClose();
      if (!q.Ended(static_cast<DWORD>(delay * 1000))) {
        q.Kill();
        q.Ended(10000);
      }
      killAt.push_back((delay - begin) / (end - begin));
      ++killed;
    } else {
      watchClose(q);
    }

    for (const std::string& name : FolderFileNames(folder)) staleSeen += name.find(".~") != std::string::npos;
    const Reading r = ReadFolder(folder, count, saved, next, oldCatalogue, oldCache);
    if (!kill && r.comments != Pair::New) Fail("a close that was not killed left the old comments");
    if (r.comments == Pair::Old && !r.catalogueIsOld) Fail("old comments in a catalogue that was written");
    if (!r.catalogueIsOld && r.cacheIsOld) Fail("a new catalogue beside the old cache");
    catOldCacheNew += r.catalogueIsOld && !r.cacheIsOld;
    untrusted += r.untrusted;
    if (r.untrusted > 1) Fail(std::to_string(r.untrusted) + " entries lost their tiles");
    (r.comments == Pair::New ? newPairs : oldPairs)++;
    const int size = LibrarySize(library);
    if (size != saved.size && size != next.size) Fail("the library is neither the old nor the new one");
    (size == next.size ? libraryNew : libraryOld)++;
    if (r.comments == Pair::New) saved.comments = next.comments;
    saved.size = size;
    if (killed % 25 == 0 && kill) {
      std::printf("  %d kills: %d old pairs, %d new pairs\n", killed, oldPairs, newPairs);
      std::fflush(stdout);
    }
  }

  std::sort(killAt.begin(), killAt.end());
  auto share = [&](double from, double to) {
    return std::count_if(killAt.begin(), killAt.end(), [&](double k) { return k >= from && k < to; });
  };
  std::printf("rounds %d, kills %d (seed %u), %d pictures\n", rounds, killed, seed, count);
  std::printf("folder load from the cache: median %.2f s; save on closing (first temporary file to the library "
              "in place): median %.2f to %.2f s after the close message\n",
              Median(loads), Median(begins), Median(ends));
  std::printf("kill moments within the save (0 its beginning, 1 its end): before %td, 0-0.25 %td, 0.25-0.5 %td, "
              "0.5-0.75 %td, 0.75-1 %td, after %td\n",
              share(-9, 0), share(0, 0.25), share(0.25, 0.5), share(0.5, 0.75), share(0.75, 1), share(1, 9));
  std::printf("after a kill or close: old pair %d (of which the old catalogue beside the new cache %d), new pair %d; "
              "mixed or partial 0\n",
              oldPairs, catOldCacheNew, newPairs);
  std::printf("library: old %d, new %d; partial 0\n", libraryOld, libraryNew);
  std::printf("tiles left to be made again (the one made again when its new tile was not named yet): %d; "
              "stale temporary files left by kills: %d, all removed at the next start\n",
              untrusted, staleSeen);
  std::printf("kill_bench: passed\n");
  Remove(win::Wide(top.substr(0, top.size() - 1)));
  return 0;
}
