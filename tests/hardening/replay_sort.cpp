// Stored inputs of fuzz_sort, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_sort
#include "fuzz/fuzz_sort.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_sort, yig_replay_sort)
