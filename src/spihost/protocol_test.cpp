#include "spihost/protocol.h"

#include <gtest/gtest.h>

#include "spihost/pe_machine.h"

using namespace spihost;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::optional<Header> HeaderOf(const Bytes& b) {
  std::uint8_t h[kHeaderSize];
  std::copy_n(b.begin(), kHeaderSize, h);
  return ReadHeader(h);
}

std::optional<Message> Answer(const Bytes& b) {
  std::optional<Header> h = HeaderOf(b);
  if (!h) return std::nullopt;
  return ReadAnswer(*h, b.data() + kHeaderSize, b.size() - kHeaderSize);
}

std::optional<Message> Request(const Bytes& b) {
  std::optional<Header> h = HeaderOf(b);
  if (!h) return std::nullopt;
  return ReadRequest(*h, b.data() + kHeaderSize, b.size() - kHeaderSize);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Message PictureAnswer(std::int32_t value, std::uint32_t usable, std::uint64_t info, std::uint64_t bits) {
  Message m{Msg::PictureAnswer};
  m.Value = value, m.Flag = usable, m.InfoSize = info, m.BitsSize = bits;
  return m;
}

}  // namespace

TEST(SpiHostProtocol, MessagesReadBackAsWritten) {
  Message info{Msg::PictureInfoAnswer};
  info.Value = 0, info.Left = -3, info.Top = 4, info.Width = 3000, info.Height = 2000;
  info.XDensity = 72, info.YDensity = 0xFFFF, info.ColorDepth = -24, info.Text = "表示\x5C comment";
  std::optional<Message> m = Answer(Encode(info));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Type, Msg::PictureInfoAnswer);
  EXPECT_EQ(m->Left, -3);
  EXPECT_EQ(m->Width, 3000);
  EXPECT_EQ(m->YDensity, 0xFFFF);
  EXPECT_EQ(m->ColorDepth, -24);
  EXPECT_EQ(m->Text, info.Text);

  Message picture = PictureAnswer(0, 1, 54, 0x7FFFFFFF);
  m = Answer(Encode(picture));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->BitsSize, 0x7FFFFFFFu);

  Message get{Msg::GetPicture};
  get.Id = 7, get.Offset = 0, get.Length = (1ull << 33) + 5, get.Flag = 1;
  m = Request(Encode(get));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Length, (1ull << 33) + 5);  // 64-bit lengths whole, whatever the helper's kind
  EXPECT_EQ(m->Flag, 1u);
  EXPECT_EQ(m->Text, "");
  // A file the plug-in reads itself: its Shift-JIS name whole, trail bytes 0x5C and letters too.
  get.Text = "C:\\\x95\x5C\x83\x5C\\\x83\x41.ppm", get.FileOffset = 128;
  m = Request(Encode(get));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Text, get.Text);
  EXPECT_EQ(m->FileOffset, 128u);

  Message load{Msg::Load};
  load.Text = "C:\\プラグイン\\ifpng.spi";
  m = Request(Encode(load));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Text, load.Text);
  // Each side reads only what the other may send.
  EXPECT_FALSE(Answer(Encode(load)));
  EXPECT_FALSE(Request(Encode(picture)));
}

TEST(SpiHostProtocol, WhatCannotBeReadIsRefused) {
  Message loaded{Msg::Loaded};
  loaded.Id = 1, loaded.Entries = 0x1FF, loaded.Text = "a.spi";
  const Bytes good = Encode(loaded);
  ASSERT_TRUE(Answer(good));
  // Cut short, or with a byte more than its fields.
  Bytes cut(good.begin(), good.end() - 1);
  Put32(cut, 4, static_cast<std::uint32_t>(cut.size() - kHeaderSize));
  EXPECT_FALSE(Answer(cut));
  Bytes longer = good;
  longer.push_back(0);
  Put32(longer, 4, static_cast<std::uint32_t>(longer.size() - kHeaderSize));
  EXPECT_FALSE(Answer(longer));
  // A body size that differs from the bytes given; one beyond the limit in the header.
  Bytes lying = good;
  Put32(lying, 4, 1000);
  EXPECT_FALSE(Answer(lying));
  Put32(lying, 4, kMaxBody + 1);
  EXPECT_FALSE(HeaderOf(lying));
  // A text's count beyond the bytes that follow it, or beyond its limit.
  Bytes text = good;
  Put32(text, kHeaderSize + 8, 0xFFFFFFF0);
  EXPECT_FALSE(Answer(text));
  Message longName = loaded;
  longName.Text.assign(kMaxPath + 1, 'a');
  EXPECT_FALSE(Answer(Encode(longName)));
  // Texts are cut at their first zero byte by the sender: one inside is no text of ours.
  Message zero = loaded;
  zero.Text = std::string("a\0b", 3);
  EXPECT_FALSE(Answer(Encode(zero)));
  // Values out of their range.
  Message entries = loaded;
  entries.Entries = 0x200;
  EXPECT_FALSE(Answer(Encode(entries)));
  Message noName = loaded;
  noName.Text.clear();
  EXPECT_FALSE(Answer(Encode(noName)));
  Message hello{Msg::HelloAnswer};
  hello.Magic = kMagic, hello.Version = kVersion, hello.PointerBits = 64;
  EXPECT_TRUE(Answer(Encode(hello)));
  hello.PointerBits = 16;
  EXPECT_FALSE(Answer(Encode(hello)));
  hello.PointerBits = 32, hello.Magic = 0;
  EXPECT_FALSE(Answer(Encode(hello)));
  // An unknown type.
  Bytes unknown = good;
  Put32(unknown, 0, 999);
  EXPECT_FALSE(Answer(unknown));
}

TEST(SpiHostProtocol, PictureSizesAreCheckedAsIfReadFromAFile) {
  EXPECT_TRUE(Answer(Encode(PictureAnswer(0, 1, kMaxInfoBlock, kMaxBitsBlock))));
  EXPECT_TRUE(Answer(Encode(PictureAnswer(0, 0, 0, 0))));  // no usable output
  EXPECT_TRUE(Answer(Encode(PictureAnswer(2, 0, 0, 0))));  // the plug-in failed
  EXPECT_FALSE(Answer(Encode(PictureAnswer(0, 1, kMaxInfoBlock + 1, 64))));
  EXPECT_FALSE(Answer(Encode(PictureAnswer(0, 1, 54, kMaxBitsBlock + 1))));
  EXPECT_FALSE(Answer(Encode(PictureAnswer(0, 1, 54, ~0ull))));
  EXPECT_FALSE(Answer(Encode(PictureAnswer(0, 1, 53, 64))));  // a head without room for its headers
  EXPECT_FALSE(Answer(Encode(PictureAnswer(2, 1, 54, 64))));  // a picture with a failure
  EXPECT_FALSE(Answer(Encode(PictureAnswer(0, 0, 54, 64))));  // sizes of no picture
  EXPECT_FALSE(Answer(Encode(PictureAnswer(0, 2, 54, 64))));
  Message progress{Msg::Progress};
  progress.Flag = 3;
  EXPECT_FALSE(Answer(Encode(progress)));

  EXPECT_TRUE(Within(0, 2048, 2048));
  EXPECT_FALSE(Within(1, 2048, 2048));
  EXPECT_FALSE(Within(~0ull, 2, 100));  // no wrap-around
  EXPECT_FALSE(Within(4, ~0ull - 2, 100));
}

TEST(SpiHostProtocol, RequestsTheHelperRefuses) {
  Message info{Msg::PluginInfo};
  info.Total = 255;
  EXPECT_TRUE(Request(Encode(info)));
  info.Total = -1;
  EXPECT_FALSE(Request(Encode(info)));
  info.Total = 65536;
  EXPECT_FALSE(Request(Encode(info)));
  Message fetch{Msg::Fetch};
  fetch.Flag = 2;
  EXPECT_FALSE(Request(Encode(fetch)));
  EXPECT_FALSE(Request(Encode(Message{Msg::Load})));  // no path
}

TEST(PeMachine, TheMachineOfALibraryFile) {
  Bytes pe(0x200, 0);
  pe[0] = 'M', pe[1] = 'Z';
  Put32(pe, 0x3C, 0x80);
  pe[0x80] = 'P', pe[0x81] = 'E';
  pe[0x84] = 0x4C, pe[0x85] = 0x01;
  EXPECT_EQ(ReadPeMachine(pe.data(), pe.size()), PeMachine::I386);
  pe[0x84] = 0x64, pe[0x85] = 0x86;
  EXPECT_EQ(ReadPeMachine(pe.data(), pe.size()), PeMachine::Amd64);
  pe[0x84] = 0x64, pe[0x85] = 0xAA;  // ARM64
  EXPECT_EQ(ReadPeMachine(pe.data(), pe.size()), PeMachine::Unknown);
  pe[0x84] = 0x64, pe[0x85] = 0x86;
  // The header's offset at or past the end, or the machine field cut off.
  EXPECT_EQ(ReadPeMachine(pe.data(), 0x85), PeMachine::Unknown);
  Put32(pe, 0x3C, 0xFFFFFFFE);
  EXPECT_EQ(ReadPeMachine(pe.data(), pe.size()), PeMachine::Unknown);
  Put32(pe, 0x3C, 0x80);
  pe[0x82] = 1;  // "PE\1\0"
  EXPECT_EQ(ReadPeMachine(pe.data(), pe.size()), PeMachine::Unknown);
  pe[0x82] = 0, pe[1] = 'X';
  EXPECT_EQ(ReadPeMachine(pe.data(), pe.size()), PeMachine::Unknown);
  EXPECT_EQ(ReadPeMachine(pe.data(), 10), PeMachine::Unknown);
}
