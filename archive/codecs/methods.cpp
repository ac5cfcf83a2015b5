#include "archive/codecs/methods.h"

#include "archive/codecs/bunzip2.h"
#include "archive/codecs/explode.h"
#include "archive/codecs/inflate.h"
#include "archive/codecs/lzma.h"
#include "archive/codecs/stored.h"
#include "archive/codecs/unreduce.h"
#include "archive/codecs/unshrink.h"

namespace qel::codecs {
namespace {

// Every row names a distinct method: a number has exactly one decoder.
constexpr bool RowsAreDistinct() {
  for (std::size_t i = 0; i < MethodTable.size(); ++i) {
    for (std::size_t j = i + 1; j < MethodTable.size(); ++j) {
      if (MethodTable[i].Method == MethodTable[j].Method) return false;
    }
  }
  return true;
}
static_assert(RowsAreDistinct(), "each method number has one row");

}  // namespace

// No default: a method added to TMethod without a decoder here is a compile error (-Wswitch).
TCodecStatus DecodeEntry(TUnzipFrame& frame, TMethod method, std::uint16_t flags) {
  switch (method) {
    case TMethod::Stored: return CopyStored(frame);
    case TMethod::Shrunk: return Unshrink(frame);
    case TMethod::Reduced1:
    case TMethod::Reduced2:
    case TMethod::Reduced3:
    case TMethod::Reduced4: return Unreduce(frame, static_cast<std::uint16_t>(method));
    case TMethod::Imploded: return Explode(frame, flags);
    case TMethod::Deflated: return Inflate(frame);
    case TMethod::Deflated64: return Inflate64(frame);
    case TMethod::BZip2: return Bunzip2(frame);
    case TMethod::Lzma: return DecodeLzma(frame, flags);
  }
  // Only a value cast from a number outside the table gets here; SupportedMethod never makes one.
  return TCodecStatus::DamagedData;
}

}  // namespace qel::codecs
