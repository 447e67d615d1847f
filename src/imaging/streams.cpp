#include "imaging/streams.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "win/error.h"
#include "win/text.h"

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) throw Exception("ストリームの読み込みエラー");
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (pos_ >= data_.size()) return 0;
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, data_.size() - pos_));
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (pos_ + count > data_.size()) data_.resize(static_cast<std::size_t>(pos_ + count));
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  std::uint64_t size = source.Size();
  if (size > SIZE_MAX / 2) throw Exception("ストリームの読み込みエラー");
  data_.resize(static_cast<std::size_t>(size));
  source.ReadBuffer(data_.data(), data_.size());
  pos_ = 0;
}

TFileStream::TFileStream(const std::string& fileName) {
  HANDLE h = CreateFileW(win::Wide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw EFOpenError(Format("ファイル %s を開けません。%s", {fileName, win::LastErrorText()}));
  handle_ = h;
}

TFileStream::~TFileStream() { CloseHandle(handle_); }

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30)), got = 0;
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, chunk, &got, nullptr))
      throw Exception(Format("ストリームの読み込みエラー: %s", {win::LastErrorText()}));
    if (got == 0) break;
    done += got;
  }
  return done;
}

void TFileStream::Write(const void*, std::size_t) { throw EFCreateError("ストリームの書き込みエラー"); }

std::uint64_t TFileStream::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle_, &size)) throw Exception(win::LastErrorText());
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t TFileStream::Position() const {
  LARGE_INTEGER zero{}, pos{};
  SetFilePointerEx(handle_, zero, &pos, FILE_CURRENT);
  return static_cast<std::uint64_t>(pos.QuadPart);
}

void TFileStream::SetPosition(std::uint64_t pos) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(pos);
  SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN);
}
