// Byte streams for loading pictures: a growable memory stream, and a file stream opened for
// reading that others may read but nobody may write while it is open.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes at the position and moves past them; answers how many were read.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual void Write(const void* buffer, std::size_t count) = 0;
  virtual std::uint64_t Size() const = 0;
  virtual std::uint64_t Position() const = 0;
  virtual void SetPosition(std::uint64_t pos) = 0;
  // Reads exactly count bytes or fails with EReadError's message.
  void ReadBuffer(void* buffer, std::size_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}
  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::uint64_t Size() const override { return data_.size(); }
  std::uint64_t Position() const override { return pos_; }
  void SetPosition(std::uint64_t pos) override { pos_ = pos; }
  // The whole block, from its first byte, whatever the position.
  const std::uint8_t* Memory() const { return data_.data(); }
  std::vector<std::uint8_t>& Bytes() { return data_; }
  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  // Replaces the contents with the whole of another stream, read from its beginning.
  void LoadFromStream(TStream& source);

 private:
  std::vector<std::uint8_t> data_;
  std::uint64_t pos_ = 0;
};

class TFileStream : public TStream {
 public:
  // Opens an existing file for reading; fails with EFOpenError.
  explicit TFileStream(const std::string& fileName);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::uint64_t Size() const override;
  std::uint64_t Position() const override;
  void SetPosition(std::uint64_t pos) override;

 private:
  void* handle_;
};
