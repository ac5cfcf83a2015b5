#include "archive/codecs/methods.h"

#include "archive/codecs/explode.h"
#include "archive/codecs/inflate.h"
#include "archive/codecs/stored.h"
#include "archive/codecs/unreduce.h"
#include "archive/codecs/unshrink.h"

namespace qel::codecs {

bool IsSupportedMethod(std::uint16_t method) noexcept {
  return method <= MethodImploded || method == MethodDeflated;
}

TCodecStatus DecodeEntry(TUnzipFrame& frame, std::uint16_t method, std::uint16_t flags) {
  switch (method) {
    case MethodStored: return CopyStored(frame);
    case MethodShrunk: return Unshrink(frame);
    case MethodImploded: return Explode(frame, flags);
    case MethodDeflated: return Inflate(frame);
    default: break;
  }
  return Unreduce(frame, method);
}

}  // namespace qel::codecs
