// The framework's streams: the abstract TStream, THandleStream and TFileStream over the
// platform files, and TMemoryStream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/object.h"
#include "platform/files.h"

namespace qel::base {

// The mode of TFileStream that creates (or truncates) a file.
inline constexpr std::uint32_t fmCreate = 0xFFFF;

class TStream : public TObject {
 public:
  const char* ClassName() const noexcept override { return "TStream"; }
  // Bytes delivered; fewer than count only at the end of the data.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  // Bytes accepted.
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  // Origins 0 from the beginning, 1 from the current position, 2 from the end. Returns the new position.
  virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
  // The size through Seek: remembers the position, seeks to the end, seeks back.
  virtual std::int64_t GetSize();
  virtual void SetSize(std::int64_t newSize);

  std::int64_t Size() { return GetSize(); }
  std::int64_t Position() { return Seek(0, 1); }
  void SetPosition(std::int64_t position) { Seek(position, 0); }

  // Exactly count bytes, else EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, std::int32_t count);
  void WriteBuffer(const void* buffer, std::int32_t count);
  // Copies count bytes from source (all of it from its start when count is 0); returns the count.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class THandleStream : public TStream {
 public:
  explicit THandleStream(platform::FileHandle handle) : FHandle(handle) {}
  const char* ClassName() const noexcept override { return "THandleStream"; }
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  void SetSize(std::int64_t newSize) override;
  platform::FileHandle Handle() const { return FHandle; }

 protected:
  platform::FileHandle FHandle;
};

// Opens (mode: access | sharing bits) or creates (fmCreate) a file; closes it when destroyed.
// Failures: EFOpenError / EFCreateError 'Cannot open file "%s". %s' / 'Cannot create file "%s". %s'
// with the expanded file name and the system's error text.
class TFileStream final : public THandleStream {
 public:
  TFileStream(const std::string& fileName, std::uint32_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const char* ClassName() const noexcept override { return "TFileStream"; }
  const std::string& FileName() const { return FFileName; }

 private:
  // Takes over an open handle.
  explicit TFileStream(platform::FileHandle handle) : THandleStream(handle) {}
  std::string FFileName;
};

class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FBytes(std::move(bytes)) {}
  const char* ClassName() const noexcept override { return "TMemoryStream"; }
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  void SetSize(std::int64_t newSize) override;
  const std::vector<std::uint8_t>& Bytes() const { return FBytes; }

 private:
  std::vector<std::uint8_t> FBytes;
  std::int64_t FPosition = 0;
};

}  // namespace qel::base
