#include "archive/codecs/stored.h"

namespace qel::codecs {

TCodecStatus CopyStored(TUnzipFrame& frame) {
  for (;;) {
    const std::size_t count = frame.ReadBlock(frame.OutputBuffer());
    if (count == 0) {
      return TCodecStatus::Ok;
    }
    frame.SetOutputCount(count);
    frame.FlushOutput();
  }
}

}  // namespace qel::codecs
