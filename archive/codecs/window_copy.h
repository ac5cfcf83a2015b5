// One run of a match copy inside a sliding window, shared by explode and unreduce. Both
// dictionaries start empty for each entry: a source that lies before the entry's first byte
// reads as zeros, never as what an earlier entry left in the window.
#pragma once

#include <cstdint>
#include <cstring>

namespace qel::codecs {

// Copies run bytes from window[from] to window[to]; both runs lie inside the window.
// beforeEntry: the source lies before the first byte of the entry, so the run is zeros.
inline void CopyWindowRun(std::uint8_t* window, unsigned to, unsigned from, unsigned run, bool beforeEntry) {
  if (beforeEntry) {
    std::memset(window + to, 0, run);
    return;
  }
  const int back = static_cast<int>(to) - static_cast<int>(from);
  if (back >= static_cast<int>(run)) {
    std::memcpy(window + to, window + from, run);  // the source lies wholly behind
  } else if (back < 0) {
    // The source lies ahead, in the previous pass over the window: a forward copy reads each
    // byte before overwriting it, which is what memmove does for this direction.
    std::memmove(window + to, window + from, run);
  } else if (back == 1) {
    std::memset(window + to, window[from], run);  // a run of one repeated byte
  } else {
    // Source and destination overlap: byte by byte, so the copy repeats the recent bytes.
    for (unsigned i = 0; i < run; ++i) {
      window[to + i] = window[from + i];
    }
  }
}

}  // namespace qel::codecs
