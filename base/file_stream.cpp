// A handle stream that opens or creates its file by name and closes it when destroyed.
#include "base/exceptions.h"
#include "base/format.h"
#include "base/stream.h"
#include "platform/files.h"

namespace qel::base {

namespace {

platform::FileHandle OpenOrCreate(const std::string& fileName, std::uint32_t mode) {
  const bool create = mode == fmCreate;
  platform::FileHandle handle = create ? platform::FileCreate(fileName) : platform::FileOpen(fileName, mode);
  if (handle != platform::InvalidFileHandle) return handle;
  // The reason first: expanding the name is another call that may overwrite it.
  std::string reason = platform::LastErrorText();
  std::string fullName = platform::ExpandFileName(fileName);
  if (create) throw EFCreateError(Format("Cannot create file \"%s\". %s", {fullName, reason}));
  throw EFOpenError(Format("Cannot open file \"%s\". %s", {fullName, reason}));
}

}  // namespace

// Delegating first makes the stream a complete object that owns the handle, so should
// storing the name fail, the destructor still closes the file.
TFileStream::TFileStream(const std::string& fileName, std::uint32_t mode)
    : TFileStream(OpenOrCreate(fileName, mode)) {
  FFileName = fileName;
}

TFileStream::~TFileStream() {
  if (FHandle != platform::InvalidFileHandle) platform::FileClose(FHandle);
}

}  // namespace qel::base
