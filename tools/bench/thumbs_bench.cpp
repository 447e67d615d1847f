// Thumbnails of a folder of large photographs, timed side by side in one process.
//
//   tools/bench/thumbs [rounds]     builds the 64-bit benchmark, makes the folder, runs this
//   thumbs_bench <folder> [rounds]
//
//   limit:  libjpeg-turbo decoding each file (already in memory) DCT-scaled to 1/8, one thread:
//           the least a thumbnail of it can cost;
//   ours:   TShownFolder::Load with no catalogue or cache (scan, read and decode on workers
//           while this thread reports progress in list order, sample, compress), on 1 core,
//           2 cores and every core (the process's affinity: LoadFolder then makes one worker
//           per core it may use);
//   rows:   MakeThumbnailBox on one thread, file by file (read, decode the sampled rows, sample).
// Prints where LoadFolder's time goes, per picture and stage (measured inside it on every
// core), the table of cores, and the ratio against the target. Also checks that each
// thumbnail equals the full decode point-sampled, byte for byte. Exit code 0 when the target
// is met and every thumbnail is identical.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bench_clock.h"
#include "catalogue/folder_scan.h"
#include "catalogue/gauge_form.h"
#include "catalogue/shown_folder.h"
#include "catalogue/thumbnail_fit.h"
#include "catalogue/thumbnail_maker.h"
#include "imaging/jpeg_image.h"
#include "imaging/spi_bitmap.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/file_io.h"
#include "win/text.h"

namespace {

// libjpeg's own 1/8 scaled decode of a file's bytes: the least a thumbnail of it can cost.
void DecodeEighth(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&c, TRUE);
  c.scale_num = 1;
  c.scale_denom = 8;
  c.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&c);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(c.output_width) * 3);
  JSAMPROW r = row.data();
  while (c.output_scanline < c.output_height) jpeg_read_scanlines(&c, &r, 1);
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
}

// The process's cores: the first `cores` of those it may use.
DWORD_PTR FirstCores(DWORD_PTR all, int cores) {
  DWORD_PTR mask = 0;
  for (int bit = 0; bit < 8 * static_cast<int>(sizeof(DWORD_PTR)) && cores > 0; ++bit)
    if (all & (DWORD_PTR{1} << bit)) mask |= DWORD_PTR{1} << bit, --cores;
  return mask;
}

int CountCores(DWORD_PTR mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: thumbs_bench folder [rounds]\n");
    return 2;
  }
  const std::string folder = FolderFilePath(win::Narrow(argv[1]), "");
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 3;
  try {
    InitPictureFormats();
    TGaugeForm gauge;
    TFileItems items;
    ScanFolder(folder, items);
    if (items.empty()) throw Exception("no pictures in " + folder);
    const std::size_t count = items.size();
    const double n = static_cast<double>(count);
    std::vector<std::vector<std::uint8_t>> files;
    for (const TFileItem& i : items) files.push_back(win::ReadFileBytes(FolderFilePath(folder, i.DiskName)));
    DeleteFileW(win::Wide(folder + "Quiran.cf0").c_str());
    DeleteFileW(win::Wide(folder + "Cashfile.cfb").c_str());
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    const int allCores = CountCores(processMask);

    // Every thumbnail equals the full decode point-sampled.
    const std::uint32_t face = win::SysColor(COLOR_BTNFACE);
    int identical = 0, width = 0, height = 0;
    for (std::size_t k = 0; k < count; ++k) {
      TThumbnailBox ours = MakeThumbnailBox(TThumbnailDecoder::Jpeg, FolderFilePath(folder, items[k].DiskName), 24, face);
      PixelBuffer full = DecodeJpeg(files[k].data(), files[k].size());
      width = full.Width(), height = full.Height();
      TPointSampler s(full.Width(), full.Height(), face);
      s.AddPicture(full);
      PixelBuffer expected = s.Take();
      identical += ours.Box.Size() == expected.Size() && !std::memcmp(ours.Box.Data(), expected.Data(), expected.Size());
    }

    // Loads the folder on the first `cores` cores; seconds per picture.
    auto load = [&](int cores, std::vector<TThumbnailTimes>* times) {
      SetProcessAffinityMask(GetCurrentProcess(), FirstCores(processMask, cores));
      TShownFolder shown;
      shown.Times = times;
      const double t = Now();
      shown.Load(folder, gauge, nullptr, 24);
      const double took = (Now() - t) / n;
      SetProcessAffinityMask(GetCurrentProcess(), processMask);
      for (const TFileItem& i : shown.Items)
        if (!i.Entry || !i.Entry->Thumbnail) throw Exception("a thumbnail was not made: " + i.Name);
      shown.Items.clear();  // left without writing the folder's files
      return took;
    };

    // The progress dialog LoadFolder shows and hides (a cost of its own under Wine without a
    // window manager: hiding then waits 2 s).
    std::vector<double> dialog;
    for (int r = 0; r < 3; ++r) {
      const double t = Now();
      gauge.Show();
      gauge.Hide();
      dialog.push_back(Now() - t);
    }

    std::vector<int> coreCounts = {1};
    if (allCores >= 2) coreCounts.push_back(2);
    if (allCores > 2) coreCounts.push_back(allCores);
    std::vector<std::vector<double>> loads(coreCounts.size());
    std::vector<double> limit, rows;
    std::vector<double> eighth(count);  // per picture, last round
    std::vector<TThumbnailTimes> stages;
    for (int r = 0; r < rounds; ++r) {
      double t = Now();
      for (std::size_t k = 0; k < count; ++k) {
        const double one = Now();
        DecodeEighth(files[k]);
        eighth[k] = Now() - one;
      }
      limit.push_back((Now() - t) / n);

      for (std::size_t c = 0; c < coreCounts.size(); ++c)
        loads[c].push_back(load(coreCounts[c], c + 1 == coreCounts.size() ? &stages : nullptr));

      t = Now();
      for (const TFileItem& i : items)
        MakeThumbnailBox(TThumbnailDecoder::Jpeg, FolderFilePath(folder, i.DiskName), 24, face);
      rows.push_back((Now() - t) / n);
    }

    std::printf("%d pictures of %d x %d, %d rounds; 64-bit build\n", static_cast<int>(count), width, height, rounds);
    std::printf("\nWhere LoadFolder's time goes, on %d cores (last round), ms per picture:\n", coreCounts.back());
    std::printf("  picture        read  decode  sample compress |  wait progress | 1/8 decode\n");
    TThumbnailTimes sum;
    for (std::size_t k = 0; k < count; ++k) {
      const TThumbnailTimes& s = stages[k];
      std::printf("  %-12s %6.1f  %6.1f  %6.2f   %6.2f | %6.1f   %6.2f | %6.1f\n", items[k].Name.c_str(), s.Read * 1000,
                  s.Decode * 1000, s.Sample * 1000, s.Compress * 1000, s.Wait * 1000, s.Progress * 1000,
                  eighth[k] * 1000);
      sum.Read += s.Read, sum.Decode += s.Decode, sum.Sample += s.Sample, sum.Compress += s.Compress;
      sum.Wait += s.Wait, sum.Progress += s.Progress;
    }
    double eighthSum = 0;
    for (double e : eighth) eighthSum += e;
    std::printf("  %-12s %6.1f  %6.1f  %6.2f   %6.2f | %6.1f   %6.2f | %6.1f\n", "mean", sum.Read / n * 1000,
                sum.Decode / n * 1000, sum.Sample / n * 1000, sum.Compress / n * 1000, sum.Wait / n * 1000,
                sum.Progress / n * 1000, eighthSum / n * 1000);
    std::printf("  (read, decode, sample, compress: on the workers; wait, progress: the user-interface thread)\n");

    const double b = Median(limit), d = Median(rows);
    std::printf("\nmedians per picture:\n");
    std::printf("  libjpeg 1/8 DCT-scaled decode, one thread:  %7.1f ms\n", b * 1000);
    std::printf("  sampled rows (MakeThumbnailBox), one thread: %7.1f ms   ratio %.2f\n", d * 1000, d / b);
    std::printf("  the progress dialog shown and hidden, once a folder: %.1f ms\n", Median(dialog) * 1000);
    std::printf("  LoadFolder, no cache:\n");
    for (std::size_t c = 0; c < coreCounts.size(); ++c) {
      const double a = Median(loads[c]);
      std::printf("    %d core%s%-14s %7.1f ms   ratio %.2f\n", coreCounts[c], coreCounts[c] == 1 ? " " : "s",
                  coreCounts[c] == allCores ? " (every core)" : "", a * 1000, a / b);
    }
    const double best = Median(loads.back()) / b;
    std::printf("\nthumbnails identical to full decode + point sampling: %d of %d\n", identical, static_cast<int>(count));
    std::printf("ratio LoadFolder (every core) / 1/8 decode (one thread): %.2f (target <= 1.00: %s)\n", best,
                best <= 1.0 ? "met" : "MISSED");
    DonePictureFormats();
    return best <= 1.0 && identical == static_cast<int>(count) ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
