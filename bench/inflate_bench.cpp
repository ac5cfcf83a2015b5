// Inflates the deflate stream of a .gz file in memory through the decompression frame, as
// extraction does (16 000-byte output blocks, CRC-32 of each), and, where the bench was built
// with libdeflate, the same stream by libdeflate with its CRC-32, in alternating rounds.
// Reports the median and best time of each, and the ratio of the medians. Not a test: run it
// through inflate_bench.sh.
//
//   inflate_bench FILE.gz [ROUNDS] [qel|libdeflate|both]
//
// Built without QEL_BENCH_LIBDEFLATE (the Windows builds) it runs the frame alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "archive/codecs/crc32.h"
#include "archive/codecs/inflate.h"

#ifdef QEL_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
using qel::codecs::TFrameHost;

// Serves the stream from memory and throws the output away after counting it; the frame
// still takes the CRC of every block, as it does for a real destination file.
class BenchHost final : public TFrameHost {
 public:
  BenchHost(const std::uint8_t* stream, std::size_t size) : FStream(stream), FSize(size) {}
  void Rewind() {
    FPosition = 0;
    Written = 0;
  }
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FStream + FPosition, n);
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
  const std::uint8_t* FStream;
  std::size_t FSize;
  std::size_t FPosition = 0;
};

// The deflate stream inside a gzip member, and what its trailer says about the output.
struct GzipMember {
  std::size_t Start = 0;
  std::size_t Size = 0;
  std::uint32_t Crc = 0;
  std::uint32_t OutputSize = 0;  // modulo 2^32
};

bool ParseGzip(const Bytes& file, GzipMember& member) {
  if (file.size() < 18 || file[0] != 0x1F || file[1] != 0x8B || file[2] != 8) {
    return false;
  }
  const unsigned flags = file[3];
  std::size_t at = 10;
  if (flags & 4) {  // FEXTRA
    at += 2 + (file[at] | file[at + 1] << 8);
  }
  for (unsigned field : {8u, 16u}) {  // FNAME, FCOMMENT: zero-terminated
    if (flags & field) {
      while (at < file.size() && file[at] != 0) {
        ++at;
      }
      ++at;
    }
  }
  if (flags & 2) {  // FHCRC
    at += 2;
  }
  if (at + 8 > file.size()) {
    return false;
  }
  const auto le32 = [&](std::size_t p) {
    return static_cast<std::uint32_t>(file[p] | file[p + 1] << 8 | file[p + 2] << 16 |
                                      static_cast<std::uint32_t>(file[p + 3]) << 24);
  };
  member.Start = at;
  member.Size = file.size() - 8 - at;
  member.Crc = le32(file.size() - 8);
  member.OutputSize = le32(file.size() - 4);
  return true;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(file >> one >> five >> fifteen)) {
    return "unknown";
  }
  return one + " " + five + " " + fifteen;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE.gz [ROUNDS] [qel|libdeflate|both]\n", argv[0]);
    return 2;
  }
  Bytes file;
  if (std::FILE* in = std::fopen(argv[1], "rb")) {
    std::uint8_t buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
      file.insert(file.end(), buffer, buffer + n);
    }
    std::fclose(in);
  }
  GzipMember member;
  if (!ParseGzip(file, member)) {
    std::fprintf(stderr, "%s: not a gzip file\n", argv[1]);
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const std::string which = argc > 3 ? argv[3] : "both";
  const bool runQel = which != "libdeflate";
  bool runLibdeflate = which != "qel";
#ifndef QEL_BENCH_LIBDEFLATE
  runLibdeflate = false;
#endif

  const std::string loadBefore = LoadAverage();
  BenchHost host(file.data() + member.Start, member.Size);
  qel::codecs::TUnzipFrame frame(host);
  std::vector<double> qelTimes;
  std::vector<double> libdeflateTimes;
#ifdef QEL_BENCH_LIBDEFLATE
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  Bytes whole(runLibdeflate ? member.OutputSize : 0);
#endif
  for (int round = 0; round < rounds; ++round) {
    if (runQel) {
      host.Rewind();
      frame.BeginRun(0);
      frame.BeginEntry(static_cast<std::int64_t>(member.Size), member.OutputSize, false);
      const auto start = Clock::now();
      const qel::codecs::TCodecStatus status = qel::codecs::Inflate(frame);
      qelTimes.push_back(Seconds(start));
      if (status != qel::codecs::TCodecStatus::Ok || ~frame.RunningCRC() != member.Crc ||
          static_cast<std::uint32_t>(host.Written) != member.OutputSize) {
        std::fprintf(stderr, "qel inflate: status %d, CRC %08X, wrong output\n", static_cast<int>(status),
                     ~frame.RunningCRC());
        return 1;
      }
    }
#ifdef QEL_BENCH_LIBDEFLATE
    if (runLibdeflate) {
      std::size_t produced = 0;
      const auto start = Clock::now();
      const libdeflate_result result = libdeflate_deflate_decompress(
          decompressor, file.data() + member.Start, member.Size, whole.data(), whole.size(), &produced);
      const std::uint32_t crc = libdeflate_crc32(0, whole.data(), produced);
      libdeflateTimes.push_back(Seconds(start));
      if (result != LIBDEFLATE_SUCCESS || crc != member.Crc) {
        std::fprintf(stderr, "libdeflate: result %d, CRC %08X\n", static_cast<int>(result), crc);
        return 1;
      }
    }
#endif
  }
#ifdef QEL_BENCH_LIBDEFLATE
  libdeflate_free_decompressor(decompressor);
#endif

  const double megabytes = static_cast<double>(member.OutputSize) / 1e6;
  std::printf("%zu -> %u bytes, %d rounds alternating, load %s before, %s after\n", member.Size,
              member.OutputSize, rounds, loadBefore.c_str(), LoadAverage().c_str());
  const auto report = [&](const char* name, const std::vector<double>& times) {
    if (times.empty()) {
      return;
    }
    const double median = Median(times);
    std::printf("  %-24s median %.3f s (%.0f MB/s), best %.3f s (%.0f MB/s)\n", name, median, megabytes / median,
                *std::min_element(times.begin(), times.end()),
                megabytes / *std::min_element(times.begin(), times.end()));
  };
  report("qel frame + CRC", qelTimes);
  report("libdeflate + crc32", libdeflateTimes);
  if (!qelTimes.empty() && !libdeflateTimes.empty()) {
    std::printf("  ratio qel / libdeflate: %.2f (median), %.2f (best)\n", Median(qelTimes) / Median(libdeflateTimes),
                *std::min_element(qelTimes.begin(), qelTimes.end()) /
                    *std::min_element(libdeflateTimes.begin(), libdeflateTimes.end()));
  }
  return 0;
}
