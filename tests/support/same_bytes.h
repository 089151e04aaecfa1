// Comparing what a test reads back with what it expects. Byte strings, such
// as whole archives: a failure names the first byte that differs and shows
// the bytes around it, where EXPECT_EQ would print both strings whole and
// EXPECT_TRUE(a == b) nothing. Index entries: field by field.
#ifndef EXTRACTGAMEFILE_TESTS_SAME_BYTES_H_
#define EXTRACTGAMEFILE_TESTS_SAME_BYTES_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "QVRFunction.h"

namespace fixture {

// For EXPECT_PRED_FORMAT2(fixture::SameBytes, actual, expected).
::testing::AssertionResult SameBytes(const char* actualExpression,
                                     const char* expectedExpression,
                                     const std::string& actual,
                                     const std::string& expected);

// Expects each field of |entry| to be the one given.
void expectEntry(const fileInfo& entry, std::int32_t offset, std::uint32_t size,
                 const std::string& directory, const std::string& name);

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_SAME_BYTES_H_
