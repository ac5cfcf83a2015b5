// Every input kept under fuzz/, the seed corpora and the inputs that once failed, through its
// target's entry function in this build: each must end without a broken promise, so a fault
// the fuzzer found stays mended without clang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "platform/ui.h"

namespace qel::fuzz {
namespace {

std::filesystem::path FuzzFolder() {
#ifdef _WIN32
  return std::filesystem::path("Z:" QEL_SOURCE_DIR "/fuzz");  // the machine's root as Wine's drive
#else
  return std::filesystem::path(QEL_SOURCE_DIR "/fuzz");
#endif
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream input(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
}

TEST(FuzzInputs, EveryKeptInputEndsWithoutABrokenPromise) {
  platform::TDialogScript::Start();
  for (const TFuzzTarget& target : FuzzTargets()) {
    std::size_t inputs = 0;
    for (const char* kind : {"corpus", "regressions"}) {
      const std::filesystem::path folder = FuzzFolder() / kind / target.Name;
      if (!std::filesystem::is_directory(folder)) continue;
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::vector<std::uint8_t> bytes = ReadBytes(entry.path());
        EXPECT_NO_THROW(target.Run(bytes.data(), bytes.size())) << entry.path().string();
        ++inputs;
      }
    }
    EXPECT_GT(inputs, 0u) << "no seed for " << target.Name;
  }
  platform::TDialogScript::Stop();
}

}  // namespace
}  // namespace qel::fuzz
