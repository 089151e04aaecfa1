// Comparing byte strings, such as whole archives, in tests: a failure names
// the first byte that differs and shows the bytes around it, where
// EXPECT_EQ would print both strings whole and EXPECT_TRUE(a == b) nothing.
#ifndef EXTRACTGAMEFILE_TESTS_SAME_BYTES_H_
#define EXTRACTGAMEFILE_TESTS_SAME_BYTES_H_

#include <gtest/gtest.h>

#include <string>

namespace fixture {

// For EXPECT_PRED_FORMAT2(fixture::SameBytes, actual, expected).
::testing::AssertionResult SameBytes(const char* actualExpression,
                                     const char* expectedExpression,
                                     const std::string& actual,
                                     const std::string& expected);

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_SAME_BYTES_H_
