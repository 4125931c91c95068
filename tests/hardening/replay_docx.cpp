// Stored inputs of fuzz_docx, replayed under the test build.
#define LLVMFuzzerTestOneInput yig_replay_docx
#include "fuzz/fuzz_docx.cpp"
#undef LLVMFuzzerTestOneInput

#include "tests/hardening/replay.h"

YIG_REPLAY_TEST(fuzz_docx, yig_replay_docx)
