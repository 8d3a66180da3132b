#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace lk {

// Splits on the delimiter only (blanks belong to the fields). An empty text
// gives no fields; a leading, doubled or trailing delimiter gives an empty
// field. A field that begins with the quote character is a quoted text: the
// quotes are dropped, two quotes inside stand for one, and whatever follows
// the closing quote up to the next delimiter is a field of its own.
std::vector<std::string> SplitDelimitedStrict(std::string_view text, char delimiter = '|',
                                              char quote = '"');

}  // namespace lk
