// Stored inputs of fuzz_mapping_table, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_mapping_table
#include "fuzz/fuzz_mapping_table.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_mapping_table, yig_replay_mapping_table)
