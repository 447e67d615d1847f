#include "spihost/protocol.h"

namespace spihost {

namespace {

// Writes the fields of a message.
class Writer {
 public:
  std::vector<std::uint8_t> Bytes;
  void Put(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) Bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U16(std::uint16_t& v) { Put(v, 2); }
  void I16(std::int16_t& v) { Put(static_cast<std::uint16_t>(v), 2); }
  void U32(std::uint32_t& v) { Put(v, 4); }
  void I32(std::int32_t& v) { Put(static_cast<std::uint32_t>(v), 4); }
  void U64(std::uint64_t& v) { Put(v, 8); }
  void Text(std::string& s, std::size_t) {
    Put(s.size(), 4);
    Bytes.insert(Bytes.end(), s.begin(), s.end());
  }
};

// Reads the fields of a message; any field that does not fit marks the whole message bad.
class Reader {
 public:
  Reader(const std::uint8_t* p, std::size_t n) : p_(p), left_(n) {}
  bool Ok() const { return ok_ && left_ == 0; }
  std::uint64_t Get(int n) {
    if (!ok_ || left_ < static_cast<std::size_t>(n)) {
      ok_ = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = n; i-- > 0;) v = v << 8 | p_[i];
    p_ += n, left_ -= static_cast<std::size_t>(n);
    return v;
  }
  void U16(std::uint16_t& v) { v = static_cast<std::uint16_t>(Get(2)); }
  void I16(std::int16_t& v) { v = static_cast<std::int16_t>(Get(2)); }
  void U32(std::uint32_t& v) { v = static_cast<std::uint32_t>(Get(4)); }
  void I32(std::int32_t& v) { v = static_cast<std::int32_t>(static_cast<std::uint32_t>(Get(4))); }
  void U64(std::uint64_t& v) { v = Get(8); }
  // A text of at most max bytes, without zero bytes (the sender cuts texts at the first one).
  void Text(std::string& s, std::size_t max) {
    std::uint64_t n = Get(4);
    if (!ok_ || n > max || n > left_) {
      ok_ = false;
      return;
    }
    s.assign(reinterpret_cast<const char*>(p_), static_cast<std::size_t>(n));
    if (s.find('\0') != std::string::npos) ok_ = false;
    p_ += n, left_ -= static_cast<std::size_t>(n);
  }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
  bool ok_ = true;
};

// The fields of each message type, in order: one list serves writing and reading. Answers
// false for a type that has no fields list (not a message).
template <class IO>
bool Fields(IO& io, Message& m) {
  switch (m.Type) {
    case Msg::Hello:
      io.U32(m.Magic), io.U32(m.Version);
      return true;
    case Msg::Map:
      io.U64(m.Handle), io.U64(m.Size);
      return true;
    case Msg::Load:
      io.Text(m.Text, kMaxPath);
      return true;
    case Msg::Unload:
      io.U32(m.Id);
      return true;
    case Msg::PluginInfo:
      io.U32(m.Id), io.I32(m.Value), io.I32(m.Total);
      return true;
    case Msg::IsSupported:
      io.U32(m.Id), io.Text(m.Text, kMaxPath), io.U64(m.Offset);
      return true;
    case Msg::GetPictureInfo:
      io.U32(m.Id), io.U64(m.Offset), io.U64(m.Length), io.Text(m.Text, kMaxPath), io.U64(m.FileOffset);
      return true;
    case Msg::GetPicture:
      io.U32(m.Id), io.U64(m.Offset), io.U64(m.Length), io.U32(m.Flag), io.Text(m.Text, kMaxPath), io.U64(m.FileOffset);
      return true;
    case Msg::Fetch:
      io.U32(m.Flag), io.U64(m.InfoOffset), io.U64(m.BitsOffset);
      return true;
    case Msg::ProgressAnswer:
      io.I32(m.Value);
      return true;
    case Msg::HelloAnswer:
      io.U32(m.Magic), io.U32(m.Version), io.U32(m.PointerBits), io.U32(m.ProcessId);
      return true;
    case Msg::Done:
    case Msg::LoadFailed:
      return true;
    case Msg::Loaded:
      io.U32(m.Id), io.U32(m.Entries), io.Text(m.Text, kMaxPath);
      return true;
    case Msg::PluginInfoAnswer:
      io.I32(m.Value), io.Text(m.Text, kMaxBody);
      return true;
    case Msg::Result:
      io.I32(m.Value);
      return true;
    case Msg::PictureInfoAnswer:
      io.I32(m.Value), io.I32(m.Left), io.I32(m.Top), io.I32(m.Width), io.I32(m.Height);
      io.U16(m.XDensity), io.U16(m.YDensity), io.I16(m.ColorDepth), io.Text(m.Text, kMaxInfoText);
      return true;
    case Msg::PictureAnswer:
      io.I32(m.Value), io.U32(m.Flag), io.U64(m.InfoSize), io.U64(m.BitsSize);
      return true;
    case Msg::Progress:
      io.I32(m.Value), io.I32(m.Total), io.U32(m.Flag);
      return true;
    case Msg::Fault:
      io.U32(m.Code);
      return true;
  }
  return false;
}

bool IsAnswer(Msg t) { return static_cast<std::uint32_t>(t) >= static_cast<std::uint32_t>(Msg::HelloAnswer); }

std::optional<Message> Read(const Header& h, const std::uint8_t* body, std::size_t size) {
  if (size != h.BodySize) return std::nullopt;
  Message m;
  m.Type = static_cast<Msg>(h.Type);
  Reader r(body, size);
  if (!Fields(r, m) || !r.Ok()) return std::nullopt;
  return m;
}

}  // namespace

std::vector<std::uint8_t> Encode(const Message& m) {
  Writer w;
  Message copy = m;
  w.Put(static_cast<std::uint32_t>(m.Type), 4);
  w.Put(0, 4);
  Fields(w, copy);
  const auto body = static_cast<std::uint32_t>(w.Bytes.size() - kHeaderSize);
  for (int i = 0; i < 4; ++i) w.Bytes[4 + i] = static_cast<std::uint8_t>(body >> (8 * i));
  return std::move(w.Bytes);
}

std::optional<Header> ReadHeader(const std::uint8_t (&bytes)[kHeaderSize]) {
  Reader r(bytes, kHeaderSize);
  Header h{};
  r.U32(h.Type);
  r.U32(h.BodySize);
  if (h.BodySize > kMaxBody) return std::nullopt;
  return h;
}

std::optional<Message> ReadAnswer(const Header& h, const std::uint8_t* body, std::size_t size) {
  std::optional<Message> m = Read(h, body, size);
  if (!m || !IsAnswer(m->Type)) return std::nullopt;
  bool ok = true;
  switch (m->Type) {
    case Msg::HelloAnswer:
      ok = m->Magic == kMagic && (m->PointerBits == 32 || m->PointerBits == 64);
      break;
    case Msg::Loaded:
      ok = !m->Text.empty() && m->Entries < (1u << kEntryBits);
      break;
    case Msg::PictureAnswer:
      // A usable picture only comes with a successful answer; sizes within what a picture
      // can take (a BMP file image's head at least its headers), and none at all without one.
      ok = m->Flag <= 1 && (m->Flag == 0 || m->Value == 0) && m->InfoSize <= kMaxInfoBlock &&
           m->BitsSize <= kMaxBitsBlock &&
           (m->Flag == 1 ? m->InfoSize >= kBmpHeadMin : m->InfoSize == 0 && m->BitsSize == 0);
      break;
    case Msg::Progress:
      ok = m->Flag <= 1;
      break;
    default:
      break;
  }
  if (!ok) return std::nullopt;
  return m;
}

std::optional<Message> ReadRequest(const Header& h, const std::uint8_t* body, std::size_t size) {
  std::optional<Message> m = Read(h, body, size);
  if (!m || IsAnswer(m->Type)) return std::nullopt;
  bool ok = true;
  switch (m->Type) {
    case Msg::Load:
      ok = !m->Text.empty();
      break;
    case Msg::PluginInfo:
      ok = m->Total >= 0 && m->Total <= 65535;
      break;
    case Msg::GetPicture:
    case Msg::Fetch:
      ok = m->Flag <= 1;
      break;
    default:
      break;
  }
  if (!ok) return std::nullopt;
  return m;
}

}  // namespace spihost
