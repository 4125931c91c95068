// Stored inputs of fuzz_guess, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_guess
#include "fuzz/fuzz_guess.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_guess, yig_replay_guess)
