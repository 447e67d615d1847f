// Turns an image-input plug-in's output (a BITMAPINFO block and its pixel rows) into a BMP
// file image for the BMP reader. Plain output (a 40-byte header, uncompressed rows) is copied
// as it is; longer headers (52, 56, 108 or 124 bytes, whose colour table starts that many bytes
// in) and bit-field masks after a 40-byte header are carried along. Nothing is read beyond the
// byte counts given, which are the sizes of the plug-in's memory blocks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct DibFile {
  std::vector<std::uint8_t> Bmp;        // 14-byte file header, info header, colour table, rows
  std::vector<std::uint32_t> Palette4;  // for 4-bit output: its colours as 0x00BBGGRR, else empty
};

// Throws EInvalidGraphic when the header claims more than the blocks hold.
DibFile BuildDibFile(const std::uint8_t* info, std::size_t infoSize, const std::uint8_t* bits, std::size_t bitsSize);

// The same BMP file image in two parts, for writing it where it is to be read (the plug-in
// helper writes it straight into the memory it shares with Quiran): the file header with the
// information header, masks and colour table, then the rows.
struct DibFileLayout {
  std::size_t HeadSize;   // 14 + the header bytes taken from the plug-in's block
  std::size_t ImageSize;  // the rows
  std::size_t TableAt;    // where the colour table starts in the plug-in's block
  std::size_t Colors;     // its entries
};
// Throws EInvalidGraphic as BuildDibFile does.
DibFileLayout LayOutDibFile(const std::uint8_t* info, std::size_t infoSize, std::size_t bitsSize, bool bitsPresent);
// Writes the head (HeadSize bytes) and the rows (ImageSize bytes) of a layout made from these blocks.
void WriteDibFile(const DibFileLayout& layout, const std::uint8_t* info, const std::uint8_t* bits, std::uint8_t* head,
                  std::uint8_t* rows);
