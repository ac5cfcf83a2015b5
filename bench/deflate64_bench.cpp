// Decodes the first entry of each ZIP file given, in memory through the decompression frame
// as extraction does (16 000-byte output blocks, CRC-32 of each), in alternating rounds, and
// reports each one's median and best time and the ratio of each median to the first. Made for
// one file's data compressed with deflate and with Deflate64 by the same encoder. Not a test:
// run it through deflate64_bench.sh.
//
//   deflate64_bench ROUNDS A.zip [B.zip ...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/codecs/methods.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

class BenchHost final : public qel::codecs::TFrameHost {
 public:
  explicit BenchHost(const Bytes& data) : FData(data) {}
  void Rewind() { FPosition = 0; }
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FData.size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
  }
  void LoadNextDisk() override {
    std::fprintf(stderr, "stream ended early\n");
    std::exit(2);
  }
  void WriteOutput(const std::uint8_t*, std::size_t) override {}
  void ShowMessageBox(const std::string& text, const std::string&) override { std::fprintf(stderr, "%s\n", text.c_str()); }

 private:
  const Bytes& FData;
  std::size_t FPosition = 0;
};

// The first entry of a ZIP file as its local header describes it (no data descriptor).
struct Entry {
  std::string File;
  std::uint16_t Method = 0;
  std::uint32_t Crc = 0;
  std::uint32_t Size = 0;
  Bytes Data;
  std::vector<double> Times;
};

std::uint32_t Le(const Bytes& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

bool ReadEntry(const char* path, Entry& entry) {
  Bytes file;
  if (std::FILE* in = std::fopen(path, "rb")) {
    std::uint8_t buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) file.insert(file.end(), buffer, buffer + n);
    std::fclose(in);
  }
  if (file.size() < 30 || Le(file, 0, 4) != 0x04034B50u) return false;
  entry.File = path;
  entry.Method = static_cast<std::uint16_t>(Le(file, 8, 2));
  entry.Crc = Le(file, 14, 4);
  const std::uint32_t compressed = Le(file, 18, 4);
  entry.Size = Le(file, 22, 4);
  const std::size_t start = 30 + Le(file, 26, 2) + Le(file, 28, 2);
  if (start + compressed > file.size()) return false;
  entry.Data.assign(file.begin() + static_cast<std::ptrdiff_t>(start),
                    file.begin() + static_cast<std::ptrdiff_t>(start + compressed));
  return true;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ROUNDS A.zip [B.zip ...]\n", argv[0]);
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  std::vector<Entry> entries(static_cast<std::size_t>(argc - 2));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!ReadEntry(argv[i + 2], entries[i]) || !qel::codecs::SupportedMethod(entries[i].Method)) {
      std::fprintf(stderr, "%s: no first entry of a supported method\n", argv[i + 2]);
      return 2;
    }
  }
  for (int round = 0; round < rounds; ++round) {
    for (Entry& entry : entries) {
      BenchHost host(entry.Data);
      qel::codecs::TUnzipFrame frame(host);
      frame.BeginRun(entry.Size);
      frame.BeginEntry(static_cast<std::int64_t>(entry.Data.size()), entry.Size, false);
      const auto start = Clock::now();
      const auto status = qel::codecs::DecodeEntry(frame, *qel::codecs::SupportedMethod(entry.Method), 0);
      entry.Times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      if (status != qel::codecs::TCodecStatus::Ok || ~frame.RunningCRC() != entry.Crc) {
        std::fprintf(stderr, "%s: status %d, CRC %08X\n", entry.File.c_str(), static_cast<int>(status), ~frame.RunningCRC());
        return 1;
      }
    }
  }
  const double first = Median(entries[0].Times);
  for (const Entry& entry : entries) {
    const double median = Median(entry.Times);
    std::printf("  %-7s %10zu -> %u bytes  median %.3f s  best %.3f s  %6.1f MB/s  %.3fx %s\n",
                qel::codecs::MethodName(entry.Method), entry.Data.size(), entry.Size, median,
                *std::min_element(entry.Times.begin(), entry.Times.end()), entry.Size / median / 1e6, median / first,
                qel::codecs::MethodName(entries[0].Method));
  }
  return 0;
}
