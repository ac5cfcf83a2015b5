// The one bit reader of the decoders: bytes of compressed input, taken one at a time from the
// frame, least significant bit first, into a word-sized buffer.
//
// The decoders differ in one thing only, what a byte request past the entry's end yields:
//  - ZeroBits (unshrink, unreduce): the missing bits are zero. Those decoders stop on counts
//    of their own (the compressed bits, the uncompressed size); their encoders pad the last
//    byte with zeros, so zeros are what a valid stream's last code is completed with.
//  - LastByteAgain (inflate, explode): the last byte delivered is used again. A valid stream
//    may look up to 16 bits beyond its last code; those bits are never used, and a damaged
//    stream that decodes on from them is stopped by TUnzipFrame::InputExhausted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::codecs {

enum class TPastEnd { ZeroBits, LastByteAgain };

// Statuses of a byte request (TUnzipFrame::ReadByte).
inline constexpr int ByteDelivered = 8;
inline constexpr int NoByte = 0;

// TSource delivers bytes: int ReadByte(std::uint16_t& byte) returns ByteDelivered with the
// byte, or NoByte with byte unchanged when the entry has none left.
template <class TSource, TPastEnd PastEnd>
class TBitReader final {
 public:
  using TWord = std::size_t;
  static constexpr unsigned WordBits = sizeof(TWord) * 8;
  // The most bits a fill may aim for: a byte more still fits the word.
  static constexpr unsigned WidestFill = WordBits - 7;
  static_assert(WidestFill >= 25, "a fill aims for at least the 25 bits the widest read needs");

  explicit TBitReader(TSource& source) : FSource(source) {}

  // Forgets the bits of the previous entry.
  void Reset() noexcept {
    FBuffer = 0;
    FCount = 0;
    FLastByte = 0;
    FEndOfInput = false;
  }

  // Makes at least n bits (at most WidestFill) available.
  void Need(unsigned n) {
    if (FCount < n) {
      Fill(n);
    }
  }
  unsigned Peek(unsigned n) const noexcept { return static_cast<unsigned>(FBuffer & ((TWord{1} << n) - 1)); }
  void Drop(unsigned n) noexcept {
    FBuffer >>= n;
    FCount -= n;
  }
  unsigned Take(unsigned n) {
    Need(n);
    const unsigned bits = Peek(n);
    Drop(n);
    return bits;
  }

  // Adds whole bytes above the bits held until at least target bits are held (target at most
  // WidestFill). EndOfInput is true afterwards exactly when not a single byte came.
  void Fill(unsigned target) {
    FEndOfInput = true;
    while (FCount < target) {
      if (FSource.ReadByte(FLastByte) == ByteDelivered) {
        FEndOfInput = false;
      } else if constexpr (PastEnd == TPastEnd::ZeroBits) {
        FCount = target;  // the bits above the count are already zero
        return;
      }
      FBuffer |= static_cast<TWord>(FLastByte) << FCount;
      FCount += 8;
    }
  }
  bool EndOfInput() const noexcept { return FEndOfInput; }

  // For a decoder's fast loop, which takes bytes from the frame's chunk itself: the bits it
  // starts from, and what it hands back (the bits above count must be zero).
  TWord Buffer() const noexcept { return FBuffer; }
  unsigned Count() const noexcept { return FCount; }
  void Restore(TWord buffer, unsigned count) noexcept {
    FBuffer = buffer;
    FCount = count;
  }
  // Bytes copied straight from the chunk count as delivered.
  void SetLastByte(std::uint8_t lastByte) noexcept { FLastByte = lastByte; }

 private:
  TSource& FSource;
  TWord FBuffer = 0;
  unsigned FCount = 0;
  std::uint16_t FLastByte = 0;
  bool FEndOfInput = false;
};

}  // namespace qel::codecs
