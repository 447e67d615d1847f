// JPEG data a few rows at a time, through libjpeg-turbo's scanline interface: for work that
// must not hold a whole picture. A thumbnail decodes only the rows it samples; the thumbnail
// cache is read and written one row of tiles at a time. Rows are 24-bit blue, green, red.
// Library errors become EInvalidGraphic; the library never ends the process.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "win/pixel_buffer.h"

class JpegRowReader {
 public:
  // Reads the header. The data must outlive the reader.
  JpegRowReader(const std::uint8_t* data, std::size_t size);
  // Fills a buffer with the next bytes of the data and answers how many; 0 at the end (or on
  // a read failure, which then reads as data ended early). It must not throw.
  using Source = std::function<std::size_t(std::uint8_t* buffer, std::size_t size)>;
  // Reads the data as the source gives it, a buffer at a time (a file need not be in memory).
  explicit JpegRowReader(Source source);
  ~JpegRowReader();
  JpegRowReader(const JpegRowReader&) = delete;
  JpegRowReader& operator=(const JpegRowReader&) = delete;

  int Width() const;
  int Height() const;
  // The text of the first comment marker, empty when there is none.
  const std::string& Comment() const;

  // Rows come out as the picture's own samples, Y, Cb and Cr, each colour sample repeated over
  // the pixels it stands for rather than smoothed between them; written back through a
  // JpegRowWriter that takes samples, on the same grid and at the same quality, the picture is
  // compressed again all but unchanged (nothing is converted or resampled on the way). Call
  // before the first row is read. False (rows stay blue, green, red) for a picture that is not
  // stored as Y, Cb and Cr.
  bool ReadSamples();

  // The index of the row ReadRows gives next.
  int NextRow() const;
  // Decodes the next rows into rows[0 .. count), each at least Width() * 3 bytes; stops
  // early at the picture's end. Data ending before the picture does is an error.
  void ReadRows(std::uint8_t* const* rows, int count);
  // Passes over rows without producing them (only the entropy decoding is done for whole
  // rows of blocks); the rows read afterwards are those a full decode gives.
  void SkipRows(int count);

 private:
  struct State;
  void ReadHeader();
  void Start();
  std::unique_ptr<State> s_;
};

class JpegRowWriter {
 public:
  // Receives the compressed bytes as they are made; false stops the writing with an error.
  // It must not throw.
  using Sink = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;

  // A baseline colour JPEG (the library's defaults: 4:2:0 sampling) at quality 1..100, with a
  // comment marker when comment is not empty. Rows are blue, green, red, or with samples
  // Y, Cb and Cr (see JpegRowReader::ReadSamples, BgrToSamples). Fails with Exception.
  JpegRowWriter(int width, int height, int quality, Sink sink, std::string_view comment = {}, bool samples = false);
  ~JpegRowWriter();
  JpegRowWriter(const JpegRowWriter&) = delete;
  JpegRowWriter& operator=(const JpegRowWriter&) = delete;

  void WriteRows(const std::uint8_t* const* rows, int count);
  // Writes the end of the picture; every row must have been written.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// A file read a buffer at a time, for JpegRowReader: a large picture is never held whole, and
// no large block is taken from the heap and given back per file (each such block costs a
// page fault per 4 KB touched, which under some virtual machines costs more than decoding
// them). Fails with EFOpenError "ファイル %s は開けません" when the file cannot be opened; a
// read failure later reads as the data ending early.
JpegRowReader::Source FileSource(const std::string& path);

// The first bytes a source gives, as many as the markers before a JPEG's picture data take in
// any usual file: its start and two markers of the largest size (a JFIF marker may come before
// the Exif one). Fewer when the data ends sooner.
std::vector<std::uint8_t> ReadJpegHead(const JpegRowReader::Source& source);
// A source that gives the bytes read already (head) first, then what rest gives.
JpegRowReader::Source Resumed(std::vector<std::uint8_t> head, JpegRowReader::Source rest);

// Blue, green, red pixels as Y, Cb, Cr samples (the JPEG standard's conversion), in place.
void BgrToSamples(std::uint8_t* row, int width);

// A whole picture in memory as one JPEG, and back.
std::vector<std::uint8_t> CompressPixels(const PixelBuffer& pixels, int quality);
PixelBuffer DecompressPixels(const std::uint8_t* data, std::size_t size);
// The rest of a reader's picture, from its next row on, as one picture of its full size.
PixelBuffer DecompressRows(JpegRowReader& reader);
