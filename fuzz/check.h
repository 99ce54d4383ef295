#pragma once
// Property checks of the fuzz targets: a property that does not hold aborts, which
// libFuzzer reports as a crash and saves the input that caused it. Targets read their
// input through libFuzzer's FuzzedDataProvider.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "common/errors.h"
#include "common/number_text.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "property does not hold: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                                            \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// Whether `text` reads as a number beyond the range of a double: the one input for
// which the number readers may throw.
inline bool Overflows(std::string_view text) {
  try {
    corvel::ReadLeadingNumber(text);
    return false;
  } catch (const corvel::OverflowError&) {
    return true;
  }
}
