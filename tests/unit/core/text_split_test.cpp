#include "core/text_split.h"

#include <gtest/gtest.h>

namespace lk {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitDelimitedStrict, Table) {
  const struct {
    const char* text;
    Fields fields;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a|b", {"a", "b"}},
      {"a||b", {"a", "", "b"}},
      {"a|", {"a", ""}},
      {"|a", {"", "a"}},
      {"|", {"", ""}},
      {"||", {"", "", ""}},
      {" a | b ", {" a ", " b "}},
      {"a,b;c d", {"a,b;c d"}},
      {"\"a|b\"|c", {"a|b", "c"}},
      {"\"say \"\"hi\"\"\"|x", {"say \"hi\"", "x"}},
      {"\"ab\"cd|e", {"ab", "cd", "e"}},
      {"\"ab\"|", {"ab", ""}},
      {"\"unclosed|x", {"unclosed|x"}},
      {"\"\"", {""}},
      {"a\"b|c", {"a\"b", "c"}},
      {"区服|一区|", {"区服", "一区", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitDelimitedStrict(c.text), c.fields);
  }
}

TEST(SplitDelimitedStrict, KeepsEmbeddedNulCharacters) {
  const std::string text("a\0b|c", 5);
  EXPECT_EQ(SplitDelimitedStrict(text), (Fields{std::string("a\0b", 3), "c"}));
}

}  // namespace
}  // namespace lk
