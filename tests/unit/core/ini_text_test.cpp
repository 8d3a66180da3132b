#include "core/ini_text.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

TEST(IniText, ShieldKeyLookups) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"[Res]\nKeys=abc\n", "abc"},
      {"[Res]\r\nKeys=abc\r\n", "abc"},
      {"[Res]\nKeys=abc", "abc"},                     // no final line end
      {"[res]\nkeys=abc\n", "abc"},                   // names ignore case
      {"  [ RES ]  \n\t KEYS \t=\t abc  \n", "abc"},  // blanks around everything
      {"[Res]\nKeys=\n", ""},                         // empty value stays empty
      {"[Res]\nKeys=a=b\n", "a=b"},                   // split at the first '='
      {"[Res]\nKeys=\"q\"\n", "\"q\""},               // quotes stay
      {"[Res]\nKeys=盾钥匙\n", "盾钥匙"},
      {"[Res]\nKeys=first\nKeys=second\n", "first"},
      {"[Res]\nOther=1\n", "Default"},     // no key
      {"[Other]\nKeys=abc\n", "Default"},  // no section
      {"Keys=abc\n[Res]\n", "Default"},    // before any section
      {"[Res]\n;Keys=abc\n", "Default"},   // comment
      {"[Res]\nKeysX=abc\nKey=abc\n", "Default"},
      {"[Res]x\nKeys=abc\n", "Default"},  // not a section line
      {"[Res]\n[Next]\nKeys=abc\n", "Default"},
      {"[Other]\nKeys=no\n[Res]\nKeys=yes\n", "yes"},
      {"[Res]\nKeys=one\n[Res]\nKeys=two\n", "one"},
      {"", "Default"},
      {"[]\n=x\n", "Default"},
      {"[Res\nKeys=abc\n", "Default"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadIniText(c.text, "Res", "Keys", "Default"), c.expected) << c.text;
}

}  // namespace
}  // namespace lk
