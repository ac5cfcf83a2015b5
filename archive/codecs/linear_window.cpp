// The linear window of linear_window.h; the reading map of inflate's files is in inflate.h.
#include "archive/codecs/linear_window.h"

#include <algorithm>
#include <cstring>

namespace qel::codecs {

// The ring would be full here: every output block it completes is written, straight from the
// buffer, as the frame writes a whole block from the window. The output block stays empty, so
// the rest of the ring's bytes wait here instead.
void TLinearWindow::Pass() {
  const auto whole = static_cast<std::size_t>(FPassPoint - FUnwritten) / IoBlockSize * IoBlockSize;
  FFrame.FlushBytes(FUnwritten, whole);
  FUnwritten += whole;
  FPassPoint += FWindowSize;
  if (FPassPoint > FStart + FCapacity) {
    Slide();
  }
}

// Moves the last window of bytes to the start, and with them the bytes not yet written: they
// began at most an output block before the pass point just reached, which lies at most one
// step behind the position (in deflate always within the window; a long Deflate64 match may
// leave them further back). TWindowShape::SlideLeavesAPass bounds what is kept.
void TLinearWindow::Slide() noexcept {
  const std::uint8_t* const keep = std::min<const std::uint8_t*>(FPosition - FWindowSize, FUnwritten);
  const std::ptrdiff_t shift = keep - FStart;
  std::memmove(FStart, keep, static_cast<std::size_t>(FPosition - keep));
  FPosition -= shift;
  FPassPoint -= shift;
  FUnwritten -= shift;
  FEntryStart = FStart;
}

void TLinearWindow::Finish() {
  FFrame.FlushBytes(FUnwritten, static_cast<std::size_t>(FPosition - FUnwritten));
  FUnwritten = FPosition;
  FFrame.FlushOutput();
}

// The ring starts where the pass point now lies one window back; its bytes from the ring
// position on are those of the pass before, as far as the entry reaches back.
void TLinearWindow::LeaveInFrameWindow() noexcept {
  std::uint8_t* const window = FFrame.Window();
  // Offsets from the buffer's start, since the pass before may lie before it.
  const std::ptrdiff_t end = std::min(FPosition, FPassPoint) - FStart;
  const auto windowSize = static_cast<std::ptrdiff_t>(FWindowSize);
  const std::ptrdiff_t ringStart = FPassPoint - FStart - windowSize;
  const std::ptrdiff_t ringPosition = end - ringStart;
  std::memcpy(window, FStart + ringStart, static_cast<std::size_t>(ringPosition));
  const std::ptrdiff_t older = std::max(ringStart - windowSize + ringPosition,
                                        FEntryStart - FStart);
  if (older < ringStart) {
    const std::ptrdiff_t at = older - (ringStart - windowSize);
    std::memcpy(window + at, FStart + older, static_cast<std::size_t>(ringStart - older));
  }
}

}  // namespace qel::codecs
