// The file stream the archive component reads and writes every file through: a file of
// the platform behind the 8192-byte buffer.
#pragma once

#include <cstdint>
#include <string>

#include "archive/buffer_stream.h"
#include "base/stream.h"
#include "platform/files.h"

namespace qel::archive {

namespace detail {
// Holds the file for TLFNFileStream. A base listed before the buffer, so the file exists
// before the buffer is laid over it and closes only after the buffer's pending bytes are out.
struct TLFNFileHolder {
  TLFNFileHolder(const std::string& fileName, std::uint32_t mode);
  base::TFileStream FFile;
};
}  // namespace detail

class TLFNFileStream final : private detail::TLFNFileHolder, public TS_BufferStream {
 public:
  // mode base::fmCreate (0xFFFF) creates or truncates the file for reading and writing with
  // no sharing. Any other mode opens an existing file: the low two bits the access (0 read,
  // 1 write, 2 both), bits 4 to 7 what other openers may do (0x00 and 0x10 nothing, 0x20
  // read, 0x30 write, 0x40 both). Access 3 or sharing above 0x40 raise EFOpenError, as does
  // a file that cannot be opened; a file that cannot be created raises EFCreateError.
  TLFNFileStream(const std::string& fileName, std::uint32_t mode);
  ~TLFNFileStream() override = default;

  const char* ClassName() const noexcept override { return "TLFNFileStream"; }

  platform::FileHandle Handle() const { return FFile.Handle(); }
  const std::string& FileName() const { return FFile.FileName(); }
};

}  // namespace qel::archive
