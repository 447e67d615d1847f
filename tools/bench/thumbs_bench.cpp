// Thumbnails of a folder of large photographs, timed side by side in one process:
//   ours:   TShownFolder::Load with no catalogue or cache (scan, decode on every core while
//           this thread reports progress in list order, sample, compress), per picture;
//   limit:  the same libjpeg-turbo decoding each file DCT-scaled to 1/8, one thread;
//   anchor: a full decode followed by a platform stretch to 144 x 108 (the old way);
//   rows:   Quiran's own row-skipping decode and sampling of one file, one thread.
// Also checks that each thumbnail equals the full decode point-sampled, byte for byte.
//
//   thumbs_bench <folder> [rounds]
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

// The old way: the whole picture decoded, then stretched by the platform.
void FullAndStretch(const std::vector<std::uint8_t>& bytes) {
  PixelBuffer full = DecodeJpeg(bytes.data(), bytes.size());
  TThumbFit fit = FitThumbnail(full.Width(), full.Height());
  win::MemoryBitmap box(144, 108);
  win::Canvas(box.Dc()).DrawPixels(full, fit.Left, fit.Top, fit.Width, fit.Height, COLORONCOLOR);
  GdiFlush();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: thumbs_bench folder [rounds]\n");
    return 2;
  }
  const std::string folder = FolderFilePath(win::Narrow(argv[1]), "");
  const int rounds = argc > 2 ? _wtoi(argv[2]) : 3;
  try {
    InitPictureFormats();
    TGaugeForm gauge;
    TFileItems items;
    ScanFolder(folder, items);
    if (items.empty()) throw Exception("no pictures in " + folder);
    const double n = static_cast<double>(items.size());
    std::vector<std::vector<std::uint8_t>> files;
    for (const TFileItem& i : items) files.push_back(win::ReadFileBytes(FolderFilePath(folder, i.DiskName)));
    DeleteFileW(win::Wide(folder + "Quiran.cf0").c_str());
    DeleteFileW(win::Wide(folder + "Cashfile.cfb").c_str());

    // Every thumbnail equals the full decode point-sampled.
    const std::uint32_t face = win::SysColor(COLOR_BTNFACE);
    int identical = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
      TThumbnailBox ours = MakeThumbnailBox(TThumbnailDecoder::Jpeg, FolderFilePath(folder, items[k].DiskName), 24, face);
      PixelBuffer full = DecodeJpeg(files[k].data(), files[k].size());
      TPointSampler s(full.Width(), full.Height(), face);
      s.AddPicture(full);
      PixelBuffer expected = s.Take();
      identical += ours.Box.Size() == expected.Size() && !std::memcmp(ours.Box.Data(), expected.Data(), expected.Size());
    }

    std::vector<double> load, limit, anchor, rows;
    for (int r = 0; r < rounds; ++r) {
      double t = Now();
      for (const auto& f : files) DecodeEighth(f);
      limit.push_back((Now() - t) / n);

      TShownFolder shown;
      t = Now();
      shown.Load(folder, gauge, nullptr, 24);
      load.push_back((Now() - t) / n);
      for (const TFileItem& i : shown.Items)
        if (!i.Entry || !i.Entry->Thumbnail) throw Exception("a thumbnail was not made: " + i.Name);
      shown.Items.clear();  // left without writing the folder's files

      t = Now();
      for (const auto& f : files) FullAndStretch(f);
      anchor.push_back((Now() - t) / n);

      t = Now();
      for (const TFileItem& i : items)
        MakeThumbnailBox(TThumbnailDecoder::Jpeg, FolderFilePath(folder, i.DiskName), 24, face);
      rows.push_back((Now() - t) / n);
    }
    const double a = Median(load), b = Median(limit), c = Median(anchor), d = Median(rows);
    std::printf("%d pictures of %d x %d, %d rounds, medians per picture\n", static_cast<int>(n),
                DecodeJpeg(files[0].data(), files[0].size()).Width(), DecodeJpeg(files[0].data(), files[0].size()).Height(),
                rounds);
    std::printf("LoadFolder, no cache (all cores):          %7.1f ms\n", a * 1000);
    std::printf("libjpeg 1/8 DCT-scaled decode, one thread: %7.1f ms\n", b * 1000);
    std::printf("sampled rows only, one thread:             %7.1f ms\n", d * 1000);
    std::printf("full decode + stretch (old way):           %7.1f ms\n", c * 1000);
    std::printf("thumbnails identical to full decode + point sampling: %d of %d\n", identical, static_cast<int>(n));
    std::printf("ratio LoadFolder / 1/8 decode: %.2f (target <= 1.00)\n", a / b);
    std::printf("ratio sampled rows one thread / 1/8 decode: %.2f\n", d / b);
    std::printf("ratio full decode + stretch / 1/8 decode: %.2f (LoadFolder must beat it)\n", c / b);
    DonePictureFormats();
    return a / b <= 1.0 && identical == static_cast<int>(n) ? 0 : 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 2;
  }
}
