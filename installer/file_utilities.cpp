#include "installer/file_utilities.h"

#include <memory>

#include "base/exceptions.h"
#include "base/format.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace qel::installer {

namespace {

constexpr std::int32_t CopyBufferSize = 8192;

// Closes a file on every path out of the copy.
class TFileCloser final {
 public:
  explicit TFileCloser(platform::FileHandle handle) : FHandle(handle) {}
  ~TFileCloser() { platform::FileClose(FHandle); }
  TFileCloser(const TFileCloser&) = delete;
  TFileCloser& operator=(const TFileCloser&) = delete;

 private:
  platform::FileHandle FHandle;
};

// Puts the default cursor back however the shell call ends.
class TCursorRestorer final {
 public:
  TCursorRestorer() = default;
  ~TCursorRestorer() { platform::SetScreenCursor(platform::TCursorKind::crDefault); }
  TCursorRestorer(const TCursorRestorer&) = delete;
  TCursorRestorer& operator=(const TCursorRestorer&) = delete;
};

}  // namespace

bool HasAttr(const std::string& path, std::uint32_t mask) {
  return (platform::FileGetAttr(path) & mask) == mask;
}

void CopyFileTo(const std::string& source, const std::string& destination) {
  std::string target = platform::ExpandFileName(destination);
  // HasAttr counts a missing path as having every attribute, the directory bit too: a copy to
  // a new file name would then aim below a folder that does not exist. Only an existing
  // directory takes the source's name.
  if (platform::FileGetAttr(target) != platform::InvalidFileAttributes && HasAttr(target, platform::faDirectory)) {
    target += "\\" + base::ExtractFileName(source);
  }
  const auto buffer = std::make_unique<std::uint8_t[]>(CopyBufferSize);

  const platform::FileHandle input = platform::FileOpen(source, platform::fmOpenRead | platform::fmShareDenyWrite);
  if (input == platform::InvalidFileHandle) {
    throw base::EFOpenError(base::Format("Cannot open file \"%s\". %s", {source, platform::LastErrorText()}));
  }
  TFileCloser closeInput(input);
  std::string failure;
  {
    const platform::FileHandle output = platform::FileCreate(target);
    if (output == platform::InvalidFileHandle) {
      throw base::EFCreateError(base::Format("Cannot create file \"%s\". %s", {target, platform::LastErrorText()}));
    }
    TFileCloser closeOutput(output);
    // Until a read gives nothing: a count short of the buffer need not be the end.
    for (;;) {
      const std::int32_t got = platform::FileRead(input, buffer.get(), CopyBufferSize);
      if (got == 0) break;
      if (got < 0) {
        failure = base::Format("Cannot read file \"%s\". %s", {source, platform::LastErrorText()});
        break;
      }
      if (platform::FileWrite(output, buffer.get(), got) != got) {
        failure = base::Format("Cannot write to file \"%s\". %s", {target, platform::LastErrorText()});
        break;
      }
    }
  }
  if (failure.empty()) return;
  // A short copy is no copy: it must not pass for the file.
  platform::DeleteFile(target);
  throw base::EWriteError(failure);
}

bool ShellFileOp(std::uintptr_t window, std::uint32_t operation, const std::string& from, bool allowUndo,
                 const std::string& to) {
  platform::SetScreenCursor(platform::TCursorKind::crAppStart);
  TCursorRestorer restore;
  const std::uint32_t flags = (allowUndo ? platform::fofAllowUndo : platform::fofNoConfirmMkDir) |
                              platform::fofNoConfirmation | platform::fofWantMappingHandle;
  int result = 1;
  try {
    result = platform::ShellFileOperation(window, operation, from, to, flags, "");
  } catch (...) {
    result = 1;  // the shell failing in any way is a failed operation
  }
  return result == 0;
}

}  // namespace qel::installer
