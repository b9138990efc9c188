#pragma once
// A broken property of the code under test: reported like a crash, so that
// libFuzzer keeps the input that shows it.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, \
                   #condition);                                                \
      std::abort();                                                            \
    }                                                                          \
  } while (0)
