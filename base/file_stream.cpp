// A handle stream that opens or creates its file by name and closes it when destroyed.
#include "base/exceptions.h"
#include "base/format.h"
#include "base/stream.h"
#include "platform/code_pages.h"
#include "platform/unicode_names.h"

namespace qel::base {

namespace {

platform::FileHandle OpenOrCreate(const std::string& fileName, std::uint32_t mode, TNameEncoding encoding) {
  const bool create = mode == fmCreate;
  const bool utf8 = encoding == TNameEncoding::Utf8;
  platform::FileHandle handle = create ? (utf8 ? platform::FileCreateUtf8(fileName) : platform::FileCreate(fileName))
                                       : (utf8 ? platform::FileOpenUtf8(fileName, mode) : platform::FileOpen(fileName, mode));
  if (handle != platform::InvalidFileHandle) return handle;
  // The reason first: expanding the name is another call that may overwrite it.
  std::string reason = platform::LastErrorText();
  std::string fullName = utf8 ? platform::Utf8ToAnsi(fileName) : platform::ExpandFileName(fileName);
  if (create) throw EFCreateError(Format("Cannot create file \"%s\". %s", {fullName, reason}));
  throw EFOpenError(Format("Cannot open file \"%s\". %s", {fullName, reason}));
}

}  // namespace

// Delegating first makes the stream a complete object that owns the handle, so should
// storing the name fail, the destructor still closes the file.
TFileStream::TFileStream(const std::string& fileName, std::uint32_t mode, TNameEncoding encoding)
    : TFileStream(OpenOrCreate(fileName, mode, encoding)) {
  FFileName = fileName;
}

TFileStream::~TFileStream() {
  if (FHandle != platform::InvalidFileHandle) platform::FileClose(FHandle);
}

}  // namespace qel::base
