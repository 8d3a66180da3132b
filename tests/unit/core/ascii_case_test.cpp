// ASCII letter case: A-Z only, every other byte (UTF-8 included) unchanged.
#include "core/ascii_case.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

TEST(AsciiCase, LowersOnlyAsciiLetters) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"GAME.EXE", "game.exe"},
      {"Options@[Z]", "options@[z]"},    // '@' and '[' border A-Z
      {"ÄÖÜ 游戏.EXE", "ÄÖÜ 游戏.exe"},  // non-ASCII letters keep their case
      {"\xC3\x84", "\xC3\x84"},
  };
  for (const auto& c : cases) EXPECT_EQ(AsciiLowered(c.in), c.out) << c.in;
}

TEST(AsciiCase, ComparesIgnoringAsciiCaseOnly) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"", "", true},
      {"UpdateData", "updatedata", true},
      {"Ä.exe", "ä.exe", false},
      {"a", "ab", false},
      {"ab", "a", false},
      {"[", "{", false},  // 0x5B and 0x7B are 32 apart but not letters
      {"@", "`", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoringAsciiCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}

}  // namespace
}  // namespace lk
