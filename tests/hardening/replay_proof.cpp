// Stored inputs of fuzz_proof, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_proof
#include "fuzz/fuzz_proof.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_proof, yig_replay_proof)
