// The libFuzzer entry of one target, chosen by the QEL_FUZZ_TARGET the program is built with.
// A broken promise is a finding like a crash: it aborts, so libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_targets.h"
#include "platform/ui.h"

namespace {

qel::fuzz::TFuzzFunction Target() {
  static const qel::fuzz::TFuzzFunction target = [] {
    for (const qel::fuzz::TFuzzTarget& candidate : qel::fuzz::FuzzTargets()) {
      if (std::strcmp(candidate.Name, QEL_FUZZ_TARGET) == 0) return candidate.Run;
    }
    std::fprintf(stderr, "no fuzz target %s in this build\n", QEL_FUZZ_TARGET);
    std::abort();
  }();
  return target;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A message box answers itself instead of waiting for a user who is not there.
  qel::platform::TDialogScript::Start();
  try {
    Target()(data, size);
  } catch (const qel::fuzz::TBrokenPromise& broken) {
    std::fprintf(stderr, "broken promise: %s\n", broken.what());
    std::abort();
  }
  return 0;
}
