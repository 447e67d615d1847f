// A big folder (15,000 small pictures), timed and measured in one process:
// load with no cache, scroll the thumbnail list from end to end, leave (both files written),
// load again from the cache. Prints the peak memory above the idle program, the process's
// GDI objects at each step, and the cache's writing and reading against cjpeg and djpeg of
// the same libjpeg-turbo build on the same image (their start-up, measured on a tiny picture,
// taken off).
//
//   big_folder_bench --make <folder> [count]     makes the folder's pictures
//   big_folder_bench <folder> <bin-folder-of-cjpeg-and-djpeg>
//   big_folder_bench --cache <folder> <bin-folder> [rounds]
//       the cache a full run left in the folder, read and written alone, several rounds
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_window.h"
#include "catalogue/cache_file.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "catalogue/list_box_width.h"
#include "catalogue/list_item_draw.h"
#include "catalogue/shown_folder.h"
#include "imaging/jpeg_rows.h"
#include "imaging/spi_bitmap.h"
#include "imaging/test_pictures.h"
#include "win/app.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"
#include "win/window.h"

namespace {

double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }
PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS m{};
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  return m;
}
DWORD Gdi() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE h = CreateFileW(win::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}

int Make(const std::string& folder, int count) {
  CreateDirectoryW(win::Wide(folder).c_str(), nullptr);
  std::vector<std::vector<std::uint8_t>> kinds;
  for (std::uint32_t s = 0; s < 150; ++s) kinds.push_back(CompressPixels(testpic::PhotoLike(640, 480, s + 1), 85));
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "P%05d.JPG", i);
    Write(FolderFilePath(folder, name), kinds[static_cast<std::size_t>(i) % kinds.size()]);
  }
  return 0;
}

// Runs a program and answers its wall time.
double Run(const std::wstring& commandLine) {
  std::wstring cmd = commandLine;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  double start = Now();
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    throw Exception("cannot start: " + win::Narrow(commandLine));
  WaitForSingleObject(pi.hProcess, INFINITE);
  double elapsed = Now() - start;
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (code != 0) throw Exception("failed: " + win::Narrow(commandLine));
  return elapsed;
}

// The cache image as a PPM file for cjpeg, decoded a row of tiles at a time.
void WritePpm(const std::string& cache, const std::string& ppm) {
  std::vector<std::uint8_t> bytes = win::ReadFileBytes(cache);
  JpegRowReader r(bytes.data(), bytes.size());
  win::ReplacingFile out(ppm);
  std::string head = "P6\n" + std::to_string(r.Width()) + " " + std::to_string(r.Height()) + "\n255\n";
  out.Write(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
  std::vector<std::uint8_t> row(static_cast<std::size_t>(r.Width()) * 3);
  std::uint8_t* rows[1] = {row.data()};
  while (r.NextRow() < r.Height()) {
    r.ReadRows(rows, 1);
    for (std::size_t x = 0; x < row.size(); x += 3) std::swap(row[x], row[x + 2]);  // BGR to RGB
    out.Write(row.data(), row.size());
  }
  out.Commit();
}

// djpeg and cjpeg on the folder's cache image (best of three each), their start-up on a tiny
// picture taken off: {djpeg, cjpeg} in seconds.
std::pair<double, double> References(const std::string& folder, const std::wstring& bin) {
  const std::wstring cache = win::Wide(folder + kCacheFileName), ppm = win::Wide(folder + "cache.ppm");
  const std::wstring tiny = win::Wide(folder + "tiny.jpg"), tinyPpm = win::Wide(folder + "tiny.ppm");
  WritePpm(folder + kCacheFileName, folder + "cache.ppm");
  Write(folder + "tiny.jpg", CompressPixels(PixelBuffer(8, 8), 90));
  WritePpm(folder + "tiny.jpg", folder + "tiny.ppm");
  const std::wstring djpeg = L"\"" + bin + L"\\djpeg.exe\" -outfile NUL \"", cjpeg = L"\"" + bin + L"\\cjpeg.exe\" -quality 90 -outfile NUL \"";
  double startD = 1e9, startC = 1e9, djpegT = 1e9, cjpegT = 1e9;
  for (int r = 0; r < 3; ++r) {
    startD = std::min(startD, Run(djpeg + tiny + L"\""));
    startC = std::min(startC, Run(cjpeg + tinyPpm + L"\""));
    djpegT = std::min(djpegT, Run(djpeg + cache + L"\""));
    cjpegT = std::min(cjpegT, Run(cjpeg + ppm + L"\""));
  }
  for (const std::wstring& f : {ppm, tiny, tinyPpm}) DeleteFileW(f.c_str());
  const double dj = djpegT - startD, cj = cjpegT - startC;
  return {dj, cj};
}

// The tiles the folder's catalogue asks for, with their tags, as a load from the cache asks.
void AskedTiles(const std::string& folder, std::vector<int>& asked, std::vector<std::uint32_t>& tags) {
  for (const TCatalogueItem& c : ParseCatalogue(win::ReadFileBytes(folder + kCatalogueFileName))) {
    asked.push_back(c.Entry.TileIndex);
    tags.push_back(TileTag(CatalogueKey(c.Name)));
  }
}

// A checksum of the thumbnails' pixels (FNV-1a), to compare builds.
std::uint64_t PixelSum(const std::vector<TThumbnailPtr>& thumbs) {
  std::uint64_t h = 14695981039346656037ull;
  for (const TThumbnailPtr& t : thumbs) {
    if (!t) continue;
    const PixelBuffer p = t->Pixels();
    for (std::size_t i = 0; i < p.Size(); ++i) h = (h ^ p.Data()[i]) * 1099511628211ull;
  }
  return h;
}

// Reading and writing the cache alone, rounds times. The thumbnails of every round are kept
// until the end, as the shown folder keeps its own while the full run reads: each round's take
// new memory. A last round reads after all are freed (memory the heap has already).
int CacheRounds(const std::string& folder, const std::wstring& bin, int rounds) {
  std::vector<int> asked;
  std::vector<std::uint32_t> tags;
  AskedTiles(folder, asked, tags);
  const auto [dj, cj] = References(folder, bin);
  std::printf("%zu tiles; djpeg %.2f s, cjpeg %.2f s on the same image\n", asked.size(), dj, cj);
  std::vector<std::vector<TThumbnailPtr>> kept;
  const SIZE_T before = Memory().WorkingSetSize;
  for (int r = 0; r <= rounds; ++r) {
    if (r == rounds) kept.clear();
    double t = Now();
    std::vector<TThumbnailPtr> read = ReadCacheFile(folder + kCacheFileName, asked, tags);
    const double readT = Now() - t;
    std::vector<TCacheTile> tiles;
    for (const TThumbnailPtr& p : read) tiles.push_back({p.get(), false, 1});
    win::ReplacingFile probe(folder + "probe.cfb");
    t = Now();
    WriteCacheFile(probe, tiles, nullptr);
    const double writeT = Now() - t;
    probe.Commit();
    std::uint64_t written = 14695981039346656037ull;
    for (std::uint8_t b : win::ReadFileBytes(folder + "probe.cfb")) written = (written ^ b) * 1099511628211ull;
    const std::size_t got = static_cast<std::size_t>(std::count_if(read.begin(), read.end(), [](auto& p) { return !!p; }));
    std::printf("%s read %.2f s (ratio %.2f), write %.2f s (ratio %.2f); %zu thumbnails, pixels %016llx, "
                "written %016llx, memory %+.1f MiB\n",
                r == rounds ? "freed:   " : "new mem: ", readT, readT / dj, writeT, writeT / cj, got,
                static_cast<unsigned long long>(PixelSum(read)), static_cast<unsigned long long>(written), MiB(Memory().WorkingSetSize) - MiB(before));
    kept.push_back(std::move(read));
  }
  DeleteFileW(win::Wide(folder + "probe.cfb").c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    if (argc >= 3 && std::wstring(argv[1]) == L"--make")
      return Make(win::Narrow(argv[2]), argc > 3 ? _wtoi(argv[3]) : 15000);
    if (argc >= 4 && std::wstring(argv[1]) == L"--cache")
      return CacheRounds(FolderFilePath(win::Narrow(argv[2]), ""), argv[3], argc > 4 ? _wtoi(argv[4]) : 3);
    if (argc < 3) {
      std::fprintf(stderr, "usage: big_folder_bench folder bin-folder | --make folder [count]\n");
      return 2;
    }
    const std::string folder = FolderFilePath(win::Narrow(argv[1]), "");
    const std::wstring bin = argv[2];
    DeleteFileW(win::Wide(folder + kCatalogueFileName).c_str());
    DeleteFileW(win::Wide(folder + kCacheFileName).c_str());

    InitPictureFormats();
    TGaugeForm gauge;
    BenchWindow host("big folder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 1000, 700);
    TListBoxWidth list;
    list.Create(host.Handle(), 1, 0, 0, 980, 650);
    list.SetItemHeight(54 + 23);
    list.SetItemWidth(72 + 6);
    TShownFolder shown;
    const TListItemDrawer drawer;
    list.OnDrawItem = [&](const DRAWITEMSTRUCT& d) {
      if (d.itemID < shown.Items.size())
        drawer.Draw(d.hDC, d.rcItem, shown.Items[d.itemID], d.itemState & ODS_SELECTED, 72, 54, false, 24);
    };
    win::Application::ProcessMessages();
    const PROCESS_MEMORY_COUNTERS idle = Memory();
    const DWORD gdiIdle = Gdi();
    // Memory above idle after each step: {step, in use then, highest so far}.
    std::vector<std::pair<const char*, PROCESS_MEMORY_COUNTERS>> steps;

    double t = Now();
    const int n = shown.Load(folder, gauge, host.Handle(), 24);
    const double loadFresh = Now() - t;
    steps.emplace_back("load", Memory());
    list.SetCount(n);
    const DWORD gdiLoaded = Gdi();
    std::size_t compressed = 0;
    for (const TFileItem& i : shown.Items)
      if (i.Entry && i.Entry->Thumbnail) compressed += i.Entry->Thumbnail->CompressedSize();

    // Scroll from the first column to the last, a page at a time, each page drawn.
    t = Now();
    DWORD gdiMax = 0;
    int pages = 0;
    for (LRESULT top = -1; top != SendMessageW(list.Handle(), LB_GETTOPINDEX, 0, 0); ++pages) {
      top = SendMessageW(list.Handle(), LB_GETTOPINDEX, 0, 0);
      SendMessageW(list.Handle(), WM_HSCROLL, SB_PAGERIGHT, 0);
      UpdateWindow(list.Handle());
      gdiMax = std::max(gdiMax, Gdi());
    }
    const double scroll = Now() - t;
    steps.emplace_back("scroll", Memory());

    // Leave: the cache's writing alone, then the whole leave.
    std::vector<TCacheTile> tiles;
    for (const TFileItem& i : shown.Items) tiles.push_back({i.Entry ? i.Entry->Thumbnail.get() : nullptr, false, 1});
    t = Now();
    {
      win::ReplacingFile probe(folder + "probe.cfb");
      WriteCacheFile(probe, tiles, nullptr);
    }
    const double cacheWrite = Now() - t;
    steps.emplace_back("cache written", Memory());
    t = Now();
    list.SetCount(0);
    shown.Close();
    const double leave = Now() - t;
    steps.emplace_back("leave", Memory());
    const DWORD gdiLeft = Gdi();

    t = Now();
    shown.Load(folder, gauge, host.Handle(), 24);
    const double loadCached = Now() - t;
    list.SetCount(static_cast<int>(shown.Items.size()));
    UpdateWindow(list.Handle());
    int missing = 0;
    for (std::size_t i = 0; i < shown.Items.size(); ++i) missing += !(shown.Items[i].Entry && shown.Items[i].Entry->Thumbnail);
    const DWORD gdiReloaded = Gdi();
    const PROCESS_MEMORY_COUNTERS peak = Memory();
    steps.emplace_back("load from the cache", peak);
    // The cache's reading alone (what the second load did after the scan and merge).
    std::vector<int> asked;
    std::vector<std::uint32_t> tags;
    AskedTiles(folder, asked, tags);
    t = Now();
    std::vector<TThumbnailPtr> read = ReadCacheFile(folder + kCacheFileName, asked, tags);
    const double cacheRead = Now() - t;
    read.clear();
    list.SetCount(0);
    shown.Close();

    const auto [dj, cj] = References(folder, bin);

    std::printf("%d pictures of 640 x 480\n", n);
    std::printf("load, no cache:            %8.2f s (%.2f ms a picture)\n", loadFresh, loadFresh * 1000 / n);
    std::printf("scroll end to end:         %8.2f s (%d pages)\n", scroll, pages);
    std::printf("leave (both files):        %8.2f s\n", leave);
    std::printf("load from the cache:       %8.2f s, %d thumbnails missing\n", loadCached, missing);
    std::printf("thumbnails in memory:      %8.1f MiB compressed (%.1f KiB each; %.0f MiB as plain pixels)\n",
                MiB(compressed), static_cast<double>(compressed) / 1024 / n, MiB(static_cast<SIZE_T>(n) * 144 * 108 * 3));
    std::printf("memory: idle %.1f MiB, peak %.1f MiB, peak above idle %.1f MiB (target <= 256)\n",
                MiB(idle.WorkingSetSize), MiB(peak.PeakWorkingSetSize),
                MiB(peak.PeakWorkingSetSize - idle.WorkingSetSize));
    std::printf("memory above idle after each step (then / highest so far), MiB:");
    for (const auto& [step, m] : steps)
      std::printf("%s %s %.0f / %.0f", &step == &steps.front().first ? "" : ";", step,
                  MiB(m.WorkingSetSize - idle.WorkingSetSize), MiB(m.PeakWorkingSetSize - idle.WorkingSetSize));
    std::printf("\n");
    std::printf("GDI objects: idle %lu, loaded %lu, most while scrolling %lu, left %lu, reloaded %lu\n",
                static_cast<unsigned long>(gdiIdle), static_cast<unsigned long>(gdiLoaded),
                static_cast<unsigned long>(gdiMax), static_cast<unsigned long>(gdiLeft),
                static_cast<unsigned long>(gdiReloaded));
    std::printf("cache write %.2f s, cjpeg on the same image %.2f s: ratio %.2f (target <= 2)\n", cacheWrite, cj,
                cacheWrite / cj);
    std::printf("cache read  %.2f s, djpeg on the same image %.2f s: ratio %.2f (target <= 2)\n", cacheRead, dj,
                cacheRead / dj);
    DonePictureFormats();
    const bool ok = missing == 0 && MiB(peak.PeakWorkingSetSize - idle.WorkingSetSize) <= 256 &&
                    gdiMax <= gdiIdle + 8 && gdiReloaded <= gdiIdle + 8 && cacheWrite / cj <= 2 && cacheRead / dj <= 2;
    return ok ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
