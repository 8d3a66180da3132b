#include "core/number_rules.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/error.h"

namespace lk {
namespace {

struct Case {
  const char* text;
  std::optional<std::int64_t> signed32;    // nullopt: conversion error
  std::optional<std::int64_t> unsigned32;  // nullopt: conversion error
};

const Case kCases[] = {
    {"0", 0, 0},
    {"42", 42, 42},
    {"   42", 42, 42},
    {"+7", 7, 7},
    {"-1", -1, std::nullopt},
    {"-0", 0, 0},
    {"0x1F", 31, 31},
    {"0X1f", 31, 31},
    {"$1F", 31, 31},
    {"x1f", 31, 31},
    {"X10", 16, 16},
    {"-$10", -16, std::nullopt},
    {"12abc", std::nullopt, std::nullopt},
    {"42 ", std::nullopt, std::nullopt},
    {"", std::nullopt, std::nullopt},
    {"   ", std::nullopt, std::nullopt},
    {"-", std::nullopt, std::nullopt},
    {"0x", std::nullopt, std::nullopt},
    {"$", std::nullopt, std::nullopt},
    {"\t5", std::nullopt, std::nullopt},
    {"1 2", std::nullopt, std::nullopt},
    {"+-1", std::nullopt, std::nullopt},
    {"2147483647", 2147483647, 2147483647},
    {"2147483648", std::nullopt, 2147483648},
    {"-2147483648", -2147483648LL, std::nullopt},
    {"-2147483649", std::nullopt, std::nullopt},
    {"4294967295", std::nullopt, 4294967295},
    {"4294967296", std::nullopt, std::nullopt},
    {"$FFFFFFFF", std::nullopt, 4294967295},
    {"70000", 70000, 70000},
    {"000000000000000000000000000012", 12, 12},
    {"99999999999999999999999999999", std::nullopt, std::nullopt},
    {"-9223372036854775808", std::nullopt, std::nullopt},
};

TEST(NumberRules, SignedAndUnsignedTable) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("text: '") + c.text + "'");
    if (c.signed32) {
      EXPECT_EQ(ParseSignedInt32(c.text), *c.signed32);
      EXPECT_EQ(TryParseSignedInt32(c.text), std::optional<std::int32_t>(*c.signed32));
    } else {
      EXPECT_THROW(ParseSignedInt32(c.text), ConversionError);
      EXPECT_EQ(TryParseSignedInt32(c.text), std::nullopt);
    }
    if (c.unsigned32)
      EXPECT_EQ(ParseUnsignedInt32(c.text), *c.unsigned32);
    else
      EXPECT_THROW(ParseUnsignedInt32(c.text), ConversionError);
  }
}

TEST(NumberRules, ErrorNamesTheOffendingText) {
  try {
    ParseUnsignedInt32("12abc");
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'12abc' is not a valid integer value");
  }
  try {
    ParseSignedInt32("");
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
}

}  // namespace
}  // namespace lk
