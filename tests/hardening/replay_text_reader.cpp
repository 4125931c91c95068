// Stored inputs of fuzz_text_reader, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_text_reader
#include "fuzz/fuzz_text_reader.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_text_reader, yig_replay_text_reader)
