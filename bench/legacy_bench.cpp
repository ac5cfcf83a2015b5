// Throughput of the legacy decoders on the TESTDAT3.TXT entries of the hwzip archives (about
// 80 KB each), decoded many times over in one frame. Not part of the build or of CI: run it
// through legacy_bench.sh, which sets it beside unzip.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/codecs/explode.h"
#include "archive/codecs/unreduce.h"
#include "archive/codecs/unshrink.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class TBenchHost final : public qel::codecs::TFrameHost {
 public:
  const Bytes* Input = nullptr;
  std::size_t Position = 0;
  std::size_t Written = 0;
  std::size_t ReadArchive(std::uint8_t* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, Input->size() - Position);
    std::copy_n(Input->begin() + static_cast<std::ptrdiff_t>(Position), n, buffer);
    Position += n;
    return n;
  }
  void LoadNextDisk() override { throw std::runtime_error("short input"); }
  void WriteOutput(const std::uint8_t*, std::size_t count) override { Written += count; }
};

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n; i-- > 0;) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "tests/data/legacy";
  for (const char* archive : {"HWSHRINK.ZIP", "HWREDUCE.ZIP", "HWIMPODE.ZIP"}) {
    std::ifstream file(dir + "/" + archive, std::ios::binary);
    const Bytes zip((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // TESTDAT3.TXT is the last entry: find its local header by name.
    std::size_t at = 0;
    for (std::size_t i = 0; i + 42 < zip.size(); ++i) {
      if (Le(zip, i, 4) == 0x04034B50 && std::string(zip.begin() + i + 30, zip.begin() + i + 42) == "TESTDAT3.TXT") at = i;
    }
    const auto flags = static_cast<std::uint16_t>(Le(zip, at + 6, 2));
    const auto method = static_cast<std::uint16_t>(Le(zip, at + 8, 2));
    const std::uint32_t compressed = Le(zip, at + 18, 4);
    const std::uint32_t size = Le(zip, at + 22, 4);
    const std::size_t data = at + 30 + Le(zip, at + 26, 2) + Le(zip, at + 28, 2);
    const Bytes input(zip.begin() + static_cast<std::ptrdiff_t>(data),
                      zip.begin() + static_cast<std::ptrdiff_t>(data + compressed));

    TBenchHost host;
    host.Input = &input;
    qel::codecs::TUnzipFrame frame(host);
    frame.BeginRun(0);
    constexpr int Rounds = 500;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < Rounds; ++round) {
      host.Position = 0;
      frame.BeginEntry(static_cast<std::int32_t>(compressed), static_cast<std::int32_t>(size), false);
      if (method == 1) qel::codecs::Unshrink(frame);
      else if (method == 6) qel::codecs::Explode(frame, flags);
      else qel::codecs::Unreduce(frame, method);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s method %u: %u -> %u bytes, %.1f MB/s of output (%.3f ms per entry), crc %08x\n", archive,
                method, compressed, size, static_cast<double>(host.Written) / seconds / 1e6,
                seconds * 1000 / Rounds, ~frame.RunningCRC());
  }
}
