#include "archive/unzip_types.h"

namespace qel::archive {

const char* SkipReasonText(TSkipReason reason) noexcept {
  switch (reason) {
    case TSkipReason::srBadPassword: return "wrong password";
    case TSkipReason::srNoOverwrite: return "exists";
    case TSkipReason::srDamagedData: return "compressed data damaged";
    case TSkipReason::srUnsupportedMethod: return "unsupported compression method";
    case TSkipReason::srOutOfMemory: return "out of memory";
  }
  return "skipped";
}

}  // namespace qel::archive
