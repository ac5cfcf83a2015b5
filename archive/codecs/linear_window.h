// inflate's sliding window laid out in a line. The frame's window is a ring: every match has
// to look for its end, and for the end of the window, before each byte it copies. Here the
// entry's bytes go one after another into a buffer of the run, with room behind the position
// for a whole match and the words CopyMatch writes past it, so a match is copied with no test
// at all; when the buffer runs out, its last window of bytes moves to its start.
//
// What the frame sees stays what the ring gives: the window is passed on at the same points
// of the output (every window's size of bytes: 32 KB for deflate, 64 KB for Deflate64), as
// whole IoBlockSize blocks with their progress, before any further compressed byte is read;
// the rest waits as it would in the window and output block, and is written by Finish or,
// after damage, never.
// (The reading map of inflate's files is in inflate.h.)
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/codecs/match_copy.h"
#include "archive/codecs/unzip_frame.h"

namespace qel::codecs {

// The sizes of one format's window: how far a match reaches back and how long it may be.
struct TWindowShape {
  std::size_t Window;
  std::size_t MaxMatch;

  // Positions the entry's bytes take before a slide: the history of one window and seven passes.
  constexpr std::size_t Capacity() const noexcept { return 8 * Window; }
  // Behind the last pass point: one step that starts below it (three literals or a match)
  // and the words the copy writes past its end.
  constexpr std::size_t Slack() const noexcept { return MaxMatch + MatchOverrun; }
  constexpr std::size_t BufferSize() const noexcept { return Capacity() + Slack(); }
  // A slide keeps the last window and the bytes not yet written, which begin at most an
  // output block before a pass point that a step of at most MaxMatch bytes has crossed; the
  // next pass point is at most a window further, and all of it must stay in the capacity.
  constexpr bool SlideLeavesAPass() const noexcept {
    const std::size_t kept = Window > MaxMatch + IoBlockSize ? Window : MaxMatch + IoBlockSize;
    return Window > 0 && (Window & (Window - 1)) == 0 && kept + Window <= Capacity();
  }
};

class TLinearWindow final {
 public:
  // buffer: shape.BufferSize() bytes of the run. The frame's window holds shape.Window bytes.
  TLinearWindow(TUnzipFrame& frame, std::uint8_t* buffer, TWindowShape shape) noexcept
      : FFrame(frame),
        FStart(buffer),
        FWindowSize(shape.Window),
        FCapacity(shape.Capacity()),
        FPosition(buffer),
        FEntryStart(buffer),
        FPassPoint(buffer + shape.Window),
        FUnwritten(buffer) {}
  // Whichever way the entry ends, the frame's window is left holding what the ring would:
  // the last window of bytes at their places in the ring, the older ones where the entry did
  // not reach.
  ~TLinearWindow() { LeaveInFrameWindow(); }
  TLinearWindow(const TLinearWindow&) = delete;
  TLinearWindow& operator=(const TLinearWindow&) = delete;

  // Where the next byte goes. A caller that writes there itself (the fast loop) stays below
  // PassPoint at the start of each step and then sets the new position with Advance.
  std::uint8_t* Position() const noexcept { return FPosition; }
  const std::uint8_t* PassPoint() const noexcept { return FPassPoint; }
  // Bytes that may be written before the window is passed on.
  std::size_t Room() const noexcept { return static_cast<std::size_t>(FPassPoint - FPosition); }

  // The earliest byte a match may reach.
  const std::uint8_t* EntryStart() const noexcept { return FEntryStart; }
  // Whether a match may reach back this far: only to the entry's own bytes, since before its
  // first byte the window holds another entry's bytes, which must never reach this one's output.
  bool Reaches(unsigned distance) const noexcept { return distance <= static_cast<std::size_t>(FPosition - FEntryStart); }

  void Put(std::uint8_t byte) {
    *FPosition++ = byte;
    PassIfFull();
  }
  // A match the caller has checked with Reaches.
  void Copy(unsigned length, unsigned distance) {
    CopyMatch(FPosition, distance, length);
    FPosition += length;
    PassIfFull();
  }
  void Advance(std::uint8_t* position) {
    FPosition = position;
    PassIfFull();
  }

  // The end of the entry: everything not yet passed on is written.
  void Finish();

 private:
  // A Deflate64 match may be longer than a window, and so cross two pass points.
  void PassIfFull() {
    while (FPosition >= FPassPoint) {
      Pass();
    }
  }
  void Pass();
  void Slide() noexcept;
  void LeaveInFrameWindow() noexcept;

  TUnzipFrame& FFrame;
  std::uint8_t* const FStart;
  const std::size_t FWindowSize;
  const std::size_t FCapacity;
  std::uint8_t* FPosition;
  const std::uint8_t* FEntryStart;  // the entry's first byte, or the buffer's start once it slid
  std::uint8_t* FPassPoint;         // where the ring would be full next
  const std::uint8_t* FUnwritten;   // the first byte not yet written
};

}  // namespace qel::codecs
