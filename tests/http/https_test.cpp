// https through the same client: verification is on (nginx's self-signed
// certificate is refused), and a server that does not speak TLS gives no
// response. Both are errors, not responses.
#include <gtest/gtest.h>

#include "platform/http_client.h"
#include "tests/http/servers.h"

namespace lk {
namespace {

TEST(Https, SelfSignedCertificateIsRefused) {
  const std::string url = test::Env("LK_HTTPS_URL");
  if (url.empty()) GTEST_SKIP() << "no https server given";
  HttpClient client;
  EXPECT_THROW(client.Head(url + "small.zip"), HttpError);
  EXPECT_THROW(client.Get(url + "small.zip", {{"Connection", "keep-alive"}}), HttpError);
}

TEST(Https, NoTlsAnswerIsAnError) {
  LK_REQUIRE_SERVERS();
  // The odd server speaks plain HTTP only: the handshake fails.
  std::string url = test::OddItemBase("ok", 100) + "a.zip";
  url.replace(0, 4, "https");
  HttpClient client;
  EXPECT_THROW(client.Head(url), HttpError);
}

}  // namespace
}  // namespace lk
