#include <gtest/gtest.h>

#include <sstream>

#include "core/CustomNetEncoding.h"
#include "tools/launcher_kit.h"

namespace lk::kit {
namespace {

struct Result {
  int code;
  std::string out, err;
};

Result RunKit(const Args& args) {
  std::ostringstream out, err;
  const int code = RunLauncherKit(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(LauncherKitCli, HelpAndUnknownCommands) {
  Result r = RunKit({});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Commands:"), std::string::npos);
  r = RunKit({"help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("encode"), std::string::npos);
  r = RunKit({"frobnicate"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos);
  r = RunKit({"help", "decode"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Usage: launcher-kit decode"), std::string::npos);
  r = RunKit({"encode", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Usage: launcher-kit encode"), std::string::npos);
}

TEST(LauncherKitCli, EncodeDecodeRoundTrip) {
  const Result enc = RunKit({"encode", "电信一区|风云|127.0.0.1"});
  ASSERT_EQ(enc.code, 0) << enc.err;
  ASSERT_FALSE(enc.out.empty());
  EXPECT_EQ(DecodeScrambledValue(enc.out, "", ChainVectorK7q29), "电信一区|风云|127.0.0.1");
  const Result dec = RunKit({"decode", enc.out.substr(0, enc.out.size() - 1)});
  EXPECT_EQ(dec.code, 0);
  EXPECT_EQ(dec.out, "电信一区|风云|127.0.0.1\n");
}

TEST(LauncherKitCli, BadInputIsAClearErrorWithNonZeroExit) {
  Result r = RunKit({"encode"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("expects exactly one text"), std::string::npos);
  EXPECT_NE(r.err.find("Usage:"), std::string::npos);
  // Unchained data ending in a count larger than itself.
  r = RunKit({"decode", "AAAAAAAAAAAAAAAAAAAAAA=="});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("launcher-kit decode: "), std::string::npos);
}

}  // namespace
}  // namespace lk::kit
