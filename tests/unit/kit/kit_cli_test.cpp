#include <gtest/gtest.h>

#include "core/CustomNetEncoding.h"
#include "tests/support/kit_run.h"

namespace lk::kit {
namespace {

using test::RunKit;

TEST(LauncherKitCli, HelpAndUnknownCommands) {
  test::KitResult r = RunKit({});
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
  const test::KitResult enc = RunKit({"encode", "电信一区|风云|127.0.0.1"});
  ASSERT_EQ(enc.code, 0) << enc.err;
  ASSERT_FALSE(enc.out.empty());
  EXPECT_EQ(DecodeScrambledValue(enc.out, "", ChainVectorK7q29), "电信一区|风云|127.0.0.1");
  const test::KitResult dec = RunKit({"decode", enc.out.substr(0, enc.out.size() - 1)});
  EXPECT_EQ(dec.code, 0);
  EXPECT_EQ(dec.out, "电信一区|风云|127.0.0.1\n");
}

TEST(LauncherKitCli, BadInputIsAClearErrorWithNonZeroExit) {
  test::KitResult r = RunKit({"encode"});
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
