// encode / decode: single scrambled values, as the .inf file stores them.
#include <ostream>

#include "core/CustomNetEncoding.h"
#include "platform/text.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

int RunEncode(const Args& args, std::ostream& out, std::ostream&) {
  if (args.size() != 1) throw UsageError("expects exactly one text");
  if (!IsValidUtf8(args[0])) throw UsageError("the text is not valid UTF-8");
  out << EncodeScrambledValue(args[0], ChainVectorK7q29) << "\n";
  return 0;
}

int RunDecode(const Args& args, std::ostream& out, std::ostream&) {
  if (args.size() != 1) throw UsageError("expects exactly one scrambled value");
  out << DecodeScrambledValue(args[0], ChainVectorK7q29, ChainVectorK7q29) << "\n";
  return 0;
}

}  // namespace

extern const Command kEncodeCommand{
    "encode", "scramble one text as the .inf file stores zone entries",
    "Usage: launcher-kit encode <text>\n\n"
    "Prints the scrambled value of <text> (UTF-8), as a launcher configuration\n"
    "file stores zone entries and Grouping.\n",
    RunEncode};

extern const Command kDecodeCommand{
    "decode", "turn one scrambled value back into its text",
    "Usage: launcher-kit decode <value>\n\n"
    "Prints the text of a scrambled value. Fails when the value does not decode\n"
    "(a trailing count larger than the data, or bytes that are not UTF-8).\n",
    RunDecode};

}  // namespace lk::kit
