// The enumerations and event types of the archive component.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qel::base {
class TObject;
}

namespace qel::archive {

enum class TUZOverwriteMode : int { Prompt = 0, Always = 1, Never = 2 };
enum class TIncompleteZipMode : int { izAssumeMulti = 0, izAssumeBad = 1 };
// Why OnSkippingFile leaves an entry out. The first two are the component's historical ones;
// the others tell a loss that would otherwise show only as a CRC error, or not at all.
enum class TSkipReason : int {
  srBadPassword = 0,
  srNoOverwrite = 1,
  srDamagedData = 2,         // the compressed stream breaks its method's rules
  srUnsupportedMethod = 3,   // a compression method the component does not implement
  srOutOfMemory = 4,         // a decoding table could not be allocated
  srBadName = 5,             // a name no file may have here: control or refused characters, a device
  srCannotCreate = 6,        // the output file could not be created (a folder in the way, no rights)
  srNameClash = 7,           // no longer reported (every name is written as the archive spells it); kept for callers
  srOverlap = 8,             // the entry's data lies inside another entry's: read once, not again
  srArchiveVolume = 9,       // the entry's file would replace a volume of the archive being read
  srUnsafeLink = 10,         // a symbolic link that could lead out of the destination
};
// The reason in a few words for a user ("compressed data damaged").
const char* SkipReasonText(TSkipReason reason) noexcept;
enum class TMultiMode : int { mmNone = 0, mmSpan = 1, mmBlocks = 2 };

// Events: the component comes first as Sender; reference parameters are the ones a handler may change.
using TStartUnzipInfo = std::function<void(base::TObject& Sender, std::int32_t NumFiles, std::int64_t TotalBytes, bool& StopNow)>;
using TFilePercentDone = std::function<void(base::TObject& Sender, std::int32_t Percent)>;
using TTotalPercentDone = std::function<void(base::TObject& Sender, std::int32_t Percent)>;
using TStartUnZipEvent = std::function<void(base::TObject& Sender, std::int32_t FileIndex, const std::string& FName, bool& Skip)>;
using TEndUnZipEvent = std::function<void(base::TObject& Sender, std::int32_t FileIndex, const std::string& FName)>;
using TPromptForOverwrite = std::function<void(base::TObject& Sender, bool& OverWriteIt, std::int32_t FileIndex, std::string& FName)>;
using TSkippingFile = std::function<void(base::TObject& Sender, TSkipReason Reason, std::int32_t FileIndex)>;
using TBadPassword = std::function<void(base::TObject& Sender, std::int32_t FileIndex, std::string& NewPassword)>;
using TBadCRC = std::function<void(base::TObject& Sender, std::int32_t CalcCRC, std::int32_t StoredCRC, std::int32_t FileIndex)>;
using TIncompleteZip = std::function<void(base::TObject& Sender, TIncompleteZipMode& IncompleteMode)>;
using TGetNextDisk = std::function<void(base::TObject& Sender, std::int32_t NextDisk, std::string& FName)>;

}  // namespace qel::archive
