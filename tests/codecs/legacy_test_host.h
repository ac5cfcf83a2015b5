// Runs the legacy decoders (explode, unshrink, unreduce) over bytes in memory, entry after
// entry in one frame as the extraction driver would, and reads their fixtures.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "archive/codecs/unzip_frame.h"
#include "codecs/memory_host.h"

namespace qel::testing {

struct LegacyResult {
  CodecBytes Output;
  std::uint32_t Crc = 0;  // finished CRC-32 of the bytes written
  codecs::TCodecStatus Status = codecs::TCodecStatus::Ok;
};

class LegacyDecoder final {
 public:
  LegacyDecoder() : FFrame(FHost) {
    FHost.Logging = false;
    FFrame.BeginRun(0);
  }

  // Decodes one entry of the given compressed bytes in the frame left by the previous one.
  template <class Method>
  LegacyResult Run(const CodecBytes& compressed, std::int32_t uncompressedSize, Method&& method) {
    FHost.Volumes = {compressed};
    FHost.Volume = 0;
    FHost.Position = 0;
    FHost.Output.clear();
    FFrame.BeginEntry(static_cast<std::int32_t>(compressed.size()), uncompressedSize, false);
    LegacyResult result;
    result.Status = method(FFrame);
    result.Output = std::move(FHost.Output);
    FHost.Output.clear();
    result.Crc = ~FFrame.RunningCRC();
    return result;
  }

  MemoryHost& Host() { return FHost; }
  codecs::TUnzipFrame& Frame() { return FFrame; }

 private:
  MemoryHost FHost;
  codecs::TUnzipFrame FFrame;
};

// The bytes of a fixture under tests/data/legacy; empty when it cannot be read.
inline CodecBytes LegacyFixture(const std::string& name) {
#ifdef _WIN32
  const std::string prefix = "Z:";  // the machine's root as Wine's drive
#else
  const std::string prefix;
#endif
  std::ifstream file(prefix + QEL_TEST_DATA_DIR + "/legacy/" + name, std::ios::binary);
  return CodecBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Bits least significant first, as every legacy method reads them.
class LegacyBitWriter final {
 public:
  void Put(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      if (FBits == 0) {
        FBytes.push_back(0);
      }
      FBytes.back() = static_cast<std::uint8_t>(FBytes.back() | (((value >> i) & 1u) << FBits));
      FBits = (FBits + 1) % 8;
    }
  }
  // A prefix code, starting with its most significant bit.
  void PutCode(std::uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) {
      Put((code >> i) & 1u, 1);
    }
  }
  void PutByte(std::uint8_t b) { Put(b, 8); }
  const CodecBytes& Bytes() const { return FBytes; }

 private:
  CodecBytes FBytes;
  unsigned FBits = 0;  // bits used in the last byte
};

// Bytes that look like compressed data but follow no rule: a fixed-seed generator, so every
// run sees the same damage.
inline CodecBytes NoiseBytes(std::size_t count, std::uint32_t seed) {
  CodecBytes bytes(count);
  for (std::uint8_t& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

}  // namespace qel::testing
