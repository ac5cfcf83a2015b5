#include "archive/unzip_types.h"

namespace qel::archive {

const char* SkipReasonText(TSkipReason reason) noexcept {
  switch (reason) {
    case TSkipReason::srBadPassword: return "wrong password";
    case TSkipReason::srNoOverwrite: return "exists";
    case TSkipReason::srDamagedData: return "compressed data damaged";
    case TSkipReason::srUnsupportedMethod: return "unsupported compression method";
    case TSkipReason::srOutOfMemory: return "out of memory";
    case TSkipReason::srBadName: return "name not allowed";
    case TSkipReason::srCannotCreate: return "cannot create file";
    case TSkipReason::srNameClash: return "name clashes with another entry";
    case TSkipReason::srOverlap: return "data overlaps another entry";
    case TSkipReason::srArchiveVolume: return "would replace the archive itself";
    case TSkipReason::srUnsafeLink: return "link would point outside the destination";
  }
  return "skipped";
}

}  // namespace qel::archive
