// A frame host over bytes in memory: the archive is a list of volumes, the destination a byte
// vector, and every call the frame makes can be logged, so tests see what a driver would.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "archive/codecs/codec_status.h"
#include "archive/codecs/decode_table.h"
#include "archive/codecs/frame_host.h"
#include "base/exceptions.h"

namespace qel::codecs {
// Statuses print by name in test failures.
inline void PrintTo(TCodecStatus status, std::ostream* out) {
  static const char* const names[] = {"Ok", "DamagedData", "InvalidCodes", "OutOfMemory"};
  *out << names[static_cast<int>(status)];
}
}  // namespace qel::codecs

namespace qel::testing {

using CodecBytes = std::vector<std::uint8_t>;

class MemoryHost : public codecs::TFrameHost {
 public:
  MemoryHost() = default;
  explicit MemoryHost(CodecBytes archive) { Volumes.push_back(std::move(archive)); }

  // The archive, continued volume by volume when MultiVolume is set.
  std::vector<CodecBytes> Volumes;
  bool MultiVolume = false;
  // Log every call (off for the bulk tests, which only want the output).
  bool Logging = true;
  bool KeepOutput = true;
  bool TrackTotal = true;

  std::vector<std::string> Log;
  CodecBytes Output;
  std::size_t OutputSize = 0;
  std::size_t Volume = 0;
  std::size_t Position = 0;
  std::uint8_t DecryptKey = 0;  // the test cipher: xor with a key that counts up per byte

  void ProcessMessages() override { Note("messages"); }

  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    std::size_t got = 0;
    if (Volume < Volumes.size()) {
      const CodecBytes& volume = Volumes[Volume];
      got = std::min(count, volume.size() - std::min(Position, volume.size()));
      std::copy_n(volume.begin() + static_cast<std::ptrdiff_t>(Position), got, buffer);
      Position += got;
    }
    Note("read " + std::to_string(count) + " got " + std::to_string(got));
    return got;
  }

  void LoadNextDisk() override {
    if (!MultiVolume || Volume + 1 >= Volumes.size()) {
      throw base::Exception("Premature end of file reached");
    }
    ++Volume;
    Position = 0;
    Note("disk " + std::to_string(Volume + 1));
  }

  void DecryptChunk(std::uint8_t* buffer, std::size_t count) override {
    for (std::size_t i = 0; i < count; ++i) {
      buffer[i] = static_cast<std::uint8_t>(buffer[i] ^ DecryptKey++);
    }
    Note("decrypt " + std::to_string(count));
  }

  void WriteOutput(const std::uint8_t* data, std::size_t count) override {
    if (KeepOutput) {
      Output.insert(Output.end(), data, data + count);
    }
    OutputSize += count;
    Note("write " + std::to_string(count));
  }

  void FilePercentDone(int percent) override { Note("file " + std::to_string(percent)); }
  bool TracksTotalProgress() const override { return TrackTotal; }
  void TotalPercentDone(int percent) override { Note("total " + std::to_string(percent)); }

  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    Boxes.push_back(caption + ": " + text);
    Note("box " + caption + ": " + text);
  }
  std::vector<std::string> Boxes;

  // The logged calls that start with prefix, in order.
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> calls;
    for (const std::string& entry : Log) {
      if (entry.compare(0, prefix.size(), prefix) == 0) {
        calls.push_back(entry);
      }
    }
    return calls;
  }

 private:
  void Note(std::string entry) {
    if (Logging) {
      Log.push_back(std::move(entry));
    }
  }
};

// Table blocks from the heap, counted, with one chosen allocation made to fail.
class CountingTableMemory final : public codecs::TDecodeTableMemory {
 public:
  int Live = 0;
  int Allocations = 0;
  int FailAt = -1;  // index of the allocation that fails; -1 for none
  int OutOfMemoryCalls = 0;

  codecs::TDecodeEntry* Allocate(std::size_t slots) noexcept override {
    if (Allocations++ == FailAt) {
      return nullptr;
    }
    ++Live;
    return TDecodeTableMemory::Allocate(slots);
  }
  void Release(codecs::TDecodeEntry* block) noexcept override {
    --Live;
    TDecodeTableMemory::Release(block);
  }
  void OutOfMemory() override { ++OutOfMemoryCalls; }
};

// The bytes of a fixture under tests/data/deflate.
inline CodecBytes DeflateFixture(const std::string& name) {
#ifdef _WIN32
  const std::string prefix = "Z:";  // the machine's root as Wine's drive
#else
  const std::string prefix;
#endif
  std::ifstream file(prefix + QEL_TEST_DATA_DIR + "/deflate/" + name, std::ios::binary);
  return CodecBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace qel::testing
