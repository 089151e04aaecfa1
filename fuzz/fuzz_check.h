// What the fuzz targets do when a property fails: say which, on the standard
// error libFuzzer reports on, and abort so that libFuzzer keeps the input.
#ifndef EXTRACTGAMEFILE_FUZZ_FUZZ_CHECK_H_
#define EXTRACTGAMEFILE_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                             \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, \
                   #condition);                                                \
      std::fprintf(stderr, __VA_ARGS__);                                       \
      std::fprintf(stderr, "\n");                                              \
      std::abort();                                                            \
    }                                                                          \
  } while (false)

#endif  // EXTRACTGAMEFILE_FUZZ_FUZZ_CHECK_H_
