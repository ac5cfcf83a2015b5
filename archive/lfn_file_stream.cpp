#include "archive/lfn_file_stream.h"

#include "base/exceptions.h"
#include "base/format.h"

namespace qel::archive {

namespace {

constexpr std::uint32_t AccessBits = 0x03;
constexpr std::uint32_t SharingBits = 0xF0;

// The text Windows gives a call with an impossible argument.
constexpr char InvalidParameterText[] = "The parameter is incorrect.";

[[noreturn]] void RaiseInvalidMode(const std::string& fileName) {
  throw base::EFOpenError(
      base::Format("Cannot open file \"%s\". %s", {platform::ExpandFileName(fileName), InvalidParameterText}));
}

// The platform's mode for ours; bits outside the access and sharing fields do not matter.
std::uint32_t PlatformMode(const std::string& fileName, std::uint32_t mode) {
  if (mode == base::fmCreate) return mode;
  const std::uint32_t access = mode & AccessBits;
  if (access != platform::fmOpenRead && access != platform::fmOpenWrite && access != platform::fmOpenReadWrite) {
    RaiseInvalidMode(fileName);
  }
  std::uint32_t sharing = 0;
  switch (mode & SharingBits) {
    // The compatibility mode grants other openers nothing, the same as exclusive.
    case platform::fmShareCompat:
    case platform::fmShareExclusive: sharing = platform::fmShareExclusive; break;
    case platform::fmShareDenyWrite: sharing = platform::fmShareDenyWrite; break;
    case platform::fmShareDenyRead: sharing = platform::fmShareDenyRead; break;
    case platform::fmShareDenyNone: sharing = platform::fmShareDenyNone; break;
    default: RaiseInvalidMode(fileName);
  }
  return access | sharing;
}

}  // namespace

detail::TLFNFileHolder::TLFNFileHolder(const std::string& fileName, std::uint32_t mode)
    : FFile(fileName, PlatformMode(fileName, mode)) {}

TLFNFileStream::TLFNFileStream(const std::string& fileName, std::uint32_t mode)
    : TLFNFileHolder(fileName, mode), TS_BufferStream(TLFNFileHolder::FFile) {}

}  // namespace qel::archive
