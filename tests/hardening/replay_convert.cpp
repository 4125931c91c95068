// Stored inputs of fuzz_convert, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_convert
#include "fuzz/fuzz_convert.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_convert, yig_replay_convert)
