// The message of the exception a call raises, so a test can check class and text at once.
#pragma once

#include <string>

namespace qel::testing {

// The message of the E that call raises; "<no exception>" when it returns normally. An
// exception of another class passes through and fails the test.
template <class E, class Call>
std::string MessageOf(Call&& call) {
  try {
    call();
  } catch (const E& error) {
    return error.what();
  }
  return "<no exception>";
}

}  // namespace qel::testing
