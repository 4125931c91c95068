#pragma once
// A test that needs what Windows does not have (symbolic links without a
// privilege, permission bits, names with quotes) is skipped there, saying why.
#include <gtest/gtest.h>

#ifdef _WIN32
#define YIG_SKIP_ON_WINDOWS(why) GTEST_SKIP() << (why)
#else
#define YIG_SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif
