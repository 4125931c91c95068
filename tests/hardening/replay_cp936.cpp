// Stored inputs of fuzz_cp936, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_cp936
#include "fuzz/fuzz_cp936.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_cp936, yig_replay_cp936)
