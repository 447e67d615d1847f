#include "imaging/info_record.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

using Block = std::uint8_t[kInfoRecordRoom];

void Put(Block& b, std::size_t at, std::uint64_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

TEST(InfoRecord, FieldsAndHandleCandidatesOfEveryLayout) {
  Block b = {};
  Put(b, 0, static_cast<std::uint32_t>(-3), 4);
  Put(b, 8, 640, 4);
  Put(b, 12, 480, 4);
  Put(b, 16, 72, 2);
  Put(b, 18, 96, 2);
  Put(b, 20, 24, 2);
  TInfoRecordFields f = ReadInfoRecord(b);
  EXPECT_EQ(f.Left, -3);
  EXPECT_EQ(f.Width, 640);
  EXPECT_EQ(f.Height, 480);
  EXPECT_EQ(f.XDensity, 72);
  EXPECT_EQ(f.YDensity, 96);
  EXPECT_EQ(f.ColorDepth, 24);
  // No handle written: no candidate in any layout.
  EXPECT_TRUE(InfoHandleCandidates(b, 4).empty());
  EXPECT_TRUE(InfoHandleCandidates(b, 8).empty());

  const std::uint64_t h = 0x000001F312345678;
  // 32-bit: the handle at 22.
  Block b32;
  std::memcpy(b32, b, sizeof b);
  Put(b32, 22, 0x00345678, 4);
  EXPECT_EQ(InfoHandleCandidates(b32, 4), std::vector<std::uint64_t>{0x00345678});
  // 64-bit packed (30 bytes): the handle at 22; what lies at 24 is its upper part.
  Block packed;
  std::memcpy(packed, b, sizeof b);
  Put(packed, 22, h, 8);
  EXPECT_EQ(InfoHandleCandidates(packed, 8), (std::vector<std::uint64_t>{h >> 16, h}));
  // 64-bit padded (32 bytes): the handle at 24, left padding in between.
  Block padded;
  std::memcpy(padded, b, sizeof b);
  Put(padded, 22, 0x5A5A, 2);
  Put(padded, 24, h, 8);
  EXPECT_EQ(InfoHandleCandidates(padded, 8), (std::vector<std::uint64_t>{h, h << 16 | 0x5A5A}));
  // Padding written, handle null: only the padding shows, as a value no handle has.
  Block padNull;
  std::memcpy(padNull, b, sizeof b);
  Put(padNull, 22, 0x5A5A, 2);
  EXPECT_EQ(InfoHandleCandidates(padNull, 8), std::vector<std::uint64_t>{0x5A5A});
}
