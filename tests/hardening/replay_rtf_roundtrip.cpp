// Stored inputs of fuzz_rtf_roundtrip, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_rtf_roundtrip
#include "fuzz/fuzz_rtf_roundtrip.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_rtf_roundtrip, yig_replay_rtf_roundtrip)
