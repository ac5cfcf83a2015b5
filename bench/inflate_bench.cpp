// Inflates a raw deflate stream in memory through the decompression frame, as extraction does,
// and reports the speed in MB/s of output. Not a test: run it through inflate_bench.sh.
//
//   inflate_bench FILE [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/codecs/inflate.h"

namespace {

using qel::codecs::TFrameHost;

// Serves the stream from memory and throws the output away after counting it; the frame
// still takes the CRC of every block, as it does for a real destination file.
class BenchHost final : public TFrameHost {
 public:
  explicit BenchHost(const std::vector<std::uint8_t>& stream) : FStream(stream) {}
  void Rewind() {
    FPosition = 0;
    Written = 0;
  }
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FStream.size() - FPosition);
    std::copy_n(FStream.data() + FPosition, n, buffer);
    FPosition += n;
    return n;
  }
  void LoadNextDisk() override {
    std::fprintf(stderr, "stream ended early\n");
    std::exit(2);
  }
  void WriteOutput(const std::uint8_t*, std::size_t count) override { Written += count; }
  bool TracksTotalProgress() const override { return true; }
  void ShowMessageBox(const std::string& text, const std::string&) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  std::size_t Written = 0;

 private:
  const std::vector<std::uint8_t>& FStream;
  std::size_t FPosition = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [ROUNDS]\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> stream((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

  BenchHost host(stream);
  qel::codecs::TUnzipFrame frame(host);
  double best = 1e30;
  std::uint32_t crc = 0;
  for (int round = 0; round < rounds; ++round) {
    host.Rewind();
    frame.BeginRun(0);
    frame.BeginEntry(static_cast<std::int32_t>(stream.size()), 0, false);
    const auto start = std::chrono::steady_clock::now();
    const qel::codecs::TCodecStatus status = qel::codecs::Inflate(frame);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (status != qel::codecs::TCodecStatus::Ok) {
      std::fprintf(stderr, "inflate ended with status %d\n", static_cast<int>(status));
      return 1;
    }
    best = std::min(best, took.count());
    crc = ~frame.RunningCRC();
  }
  std::printf("qel inflate: %zu -> %zu bytes, CRC-32 %08X, best of %d: %.3f s, %.1f MB/s\n", stream.size(),
              host.Written, crc, rounds, best, static_cast<double>(host.Written) / best / 1e6);
  return 0;
}
