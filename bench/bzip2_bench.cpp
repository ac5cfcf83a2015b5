// Decode time of a bzip2 stream through the frame, output CRC included, for bzip2_bench.sh, which
// sets it beside bzip2 -dc on the same file. Not part of the build or of CI.
//   bzip2_bench FILE.bz2 [ROUNDS]   prints the median time of ROUNDS decodes
//   bzip2_bench FILE.bz2 -o         writes the decoded bytes to standard output once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/codecs/bunzip2.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class TBenchHost final : public qel::codecs::TFrameHost {
 public:
  const Bytes* Input = nullptr;
  std::size_t Position = 0;
  std::size_t Written = 0;
  bool Echo = false;
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, Input->size() - Position);
    std::copy_n(Input->begin() + static_cast<std::ptrdiff_t>(Position), n, buffer);
    Position += n;
    return n;
  }
  void LoadNextDisk() override { throw std::runtime_error("short input"); }
  void WriteOutput(const std::uint8_t* data, std::size_t count) override {
    Written += count;
    if (Echo) std::fwrite(data, 1, count, stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bzip2_bench FILE.bz2 [ROUNDS | -o]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const Bytes input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const bool echo = argc > 2 && std::strcmp(argv[2], "-o") == 0;
  const int rounds = echo ? 1 : argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

  TBenchHost host;
  host.Input = &input;
  host.Echo = echo;
  qel::codecs::TUnzipFrame frame(host);
  frame.BeginRun(0);
  std::vector<double> times;
  qel::codecs::TCodecStatus status = qel::codecs::TCodecStatus::Ok;
  for (int round = 0; round < rounds; ++round) {
    host.Position = 0;
    host.Written = 0;
    frame.BeginEntry(static_cast<std::int64_t>(input.size()), 0, false);
    const auto start = std::chrono::steady_clock::now();
    status = qel::codecs::Bunzip2(frame);
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  if (echo) return status == qel::codecs::TCodecStatus::Ok ? 0 : 1;
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("qel bunzip2: %zu -> %zu bytes, median %.3f s of %d, %.1f MB/s, status %d, crc %08x\n", input.size(),
              host.Written, median, rounds, static_cast<double>(host.Written) / median / 1e6,
              static_cast<int>(status), ~frame.RunningCRC());
  return status == qel::codecs::TCodecStatus::Ok ? 0 : 1;
}
