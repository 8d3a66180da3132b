#include "core/text_split.h"

namespace lk {

std::vector<std::string> SplitDelimitedStrict(std::string_view text, char delimiter, char quote) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (i < text.size()) {
    std::string field;
    if (text[i] == quote) {
      ++i;
      while (i < text.size()) {
        if (text[i] == quote) {
          ++i;
          if (i < text.size() && text[i] == quote) {
            field += quote;
            ++i;
            continue;
          }
          break;  // closing quote
        }
        field += text[i++];
      }
    } else {
      const std::size_t start = i;
      while (i < text.size() && text[i] != delimiter) ++i;
      field.assign(text.substr(start, i - start));
    }
    fields.push_back(std::move(field));
    if (i < text.size() && text[i] == delimiter) {
      ++i;
      if (i == text.size()) fields.emplace_back();  // trailing delimiter
    }
  }
  return fields;
}

}  // namespace lk
