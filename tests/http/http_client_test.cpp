// The WinHTTP client against nginx and the odd-answer server on 127.0.0.1.
#include "platform/http_client.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/http/servers.h"

namespace lk {
namespace {

using namespace std::chrono_literals;

struct StringSink : DownloadSink {
  std::string data;
  void Add(const std::uint8_t* p, std::size_t n) override {
    data.append(reinterpret_cast<const char*>(p), n);
  }
};

TEST(HttpClient, HeadOfAStaticFile) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  const HttpHeadResult head = client.Head(test::NginxUrl() + "small.zip");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.content_length,
            static_cast<std::int64_t>(std::filesystem::file_size(test::NginxRoot() / "small.zip")));
  const HttpHeadResult missing = client.Head(test::NginxUrl() + "nothing-here.zip");
  EXPECT_EQ(missing.status, 404);
}

TEST(HttpClient, HeadOddAnswers) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  EXPECT_EQ(client.Head(test::OddItemBase("refuse-head", 5000) + "a.zip").status, 405);
  const HttpHeadResult no_length = client.Head(test::OddItemBase("no-length", 5000) + "a.zip");
  EXPECT_EQ(no_length.status, 200);
  EXPECT_EQ(no_length.content_length, -1);
  const HttpHeadResult ok = client.Head(test::OddItemBase("ok", 12345) + "a.zip");
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.content_length, 12345);
}

TEST(HttpClient, NoResponseIsAnErrorWithTheSystemText) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  try {
    client.Head(test::ClosedUrl() + "a.zip");
    FAIL() << "no exception";
  } catch (const HttpError& e) {
    EXPECT_NE(e.code(), 0u);
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_THROW(client.Get(test::ClosedUrl() + "a.zip", {}), HttpError);
  EXPECT_THROW(client.Head("ftp://127.0.0.1/a.zip"), HttpError);
  EXPECT_THROW(client.Head(""), HttpError);
}

TEST(HttpClient, GetStreamsABodyIntoTheSink) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  auto response = client.Get(test::NginxUrl() + "big.zip", {{"Connection", "keep-alive"}});
  ASSERT_EQ(response.status(), 200);
  const std::string expected = test::ReadWhole(test::NginxRoot() / "big.zip");
  EXPECT_EQ(response.content_length(), static_cast<std::int64_t>(expected.size()));
  StringSink sink;
  std::vector<std::int64_t> seen;
  const HttpBodyResult body = response.ReadBody(sink, [&](std::int64_t length, std::int64_t received, bool&) {
    EXPECT_EQ(length, static_cast<std::int64_t>(expected.size()));
    seen.push_back(received);
  });
  EXPECT_TRUE(body.complete);
  EXPECT_TRUE(body.ended_normally);
  EXPECT_EQ(body.received, static_cast<std::int64_t>(expected.size()));
  EXPECT_TRUE(sink.data == expected);
  ASSERT_GT(seen.size(), 1u);
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_EQ(seen.back(), static_cast<std::int64_t>(expected.size()));
}

TEST(HttpClient, ErrorStatusStillDeliversItsBody) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  auto response = client.Get(test::OddItemBase("missing", 10) + "a.zip", {});
  EXPECT_EQ(response.status(), 404);
  StringSink sink;
  const HttpBodyResult body = response.ReadBody(sink, nullptr);
  EXPECT_TRUE(body.complete);
  EXPECT_NE(sink.data.find("404 Not Found"), std::string::npos);
}

TEST(HttpClient, BodyWithoutLengthEndsWithTheConnection) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  auto response = client.Get(test::OddItemBase("no-length", 70000) + "a.zip", {});
  EXPECT_EQ(response.content_length(), -1);
  StringSink sink;
  const HttpBodyResult body = response.ReadBody(sink, nullptr);
  EXPECT_TRUE(body.complete);
  EXPECT_TRUE(sink.data == test::OddBytes(70000));
}

// A body cut short must never look complete, whether WinHTTP reports the
// cut as an error or as an early end.
HttpBodyResult ReadCutBody(const std::string& url, bool& threw) {
  HttpClient client;
  threw = false;
  try {
    auto response = client.Get(url, {});
    EXPECT_EQ(response.status(), 200);
    StringSink sink;
    return response.ReadBody(sink, nullptr);
  } catch (const HttpError&) {
    threw = true;
    return {};
  }
}

TEST(HttpClient, ShortAndDroppedBodiesAreNeverComplete) {
  LK_REQUIRE_SERVERS();
  for (const char* mode : {"short", "drop"}) {
    bool threw = false;
    const HttpBodyResult body = ReadCutBody(test::OddItemBase(mode, 200000) + "a.zip", threw);
    EXPECT_FALSE(body.complete) << mode;
    if (!threw) {
      EXPECT_LT(body.received, 200000) << mode;
    }
  }
}

TEST(HttpClient, AbortFlagFromTheProgressCallbackStopsTheTransfer) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  auto response = client.Get(test::OddItemBase("slow", 400000) + "a.zip", {});
  StringSink sink;
  int calls = 0;
  const HttpBodyResult body = response.ReadBody(sink, [&](std::int64_t, std::int64_t, bool& abort) {
    if (++calls == 3) abort = true;
  });
  EXPECT_TRUE(body.aborted);
  EXPECT_FALSE(body.complete);
  EXPECT_EQ(calls, 3);
}

TEST(HttpClient, AbortFromAnotherThreadEndsATransferPromptly) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  // 400 KB at 8 KiB per 50 ms takes about 2.5 s.
  auto response = client.Get(test::OddItemBase("slow", 400000) + "a.zip", {});
  StringSink sink;
  std::chrono::steady_clock::time_point aborted_at;
  std::thread aborter([&] {
    std::this_thread::sleep_for(300ms);
    aborted_at = std::chrono::steady_clock::now();
    client.Abort();
  });
  HttpBodyResult body;
  bool threw = false;
  try {
    body = response.ReadBody(sink, nullptr);
  } catch (const HttpError&) {
    threw = true;
  }
  const auto ended = std::chrono::steady_clock::now();
  aborter.join();
  EXPECT_TRUE(body.aborted || threw);
  EXPECT_FALSE(body.complete);
  EXPECT_LT(ended - aborted_at, 500ms);
  EXPECT_LT(sink.data.size(), 400000u);
  // A client once aborted refuses further requests.
  EXPECT_THROW(client.Head(test::NginxUrl() + "small.zip"), HttpError);
}

TEST(HttpClient, AbortEndsAWaitForTheResponse) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  std::chrono::steady_clock::time_point aborted_at;
  std::thread aborter([&] {
    std::this_thread::sleep_for(300ms);
    aborted_at = std::chrono::steady_clock::now();
    client.Abort();
  });
  EXPECT_THROW(client.Get(test::OddItemBase("hang", 10) + "a.zip", {}), HttpError);
  const auto ended = std::chrono::steady_clock::now();
  aborter.join();
  EXPECT_LT(ended - aborted_at, 1000ms);
}

TEST(HttpClient, AServerThatNeverAnswersTimesOut) {
  LK_REQUIRE_SERVERS();
  HttpClient client(HttpOptions{800ms});
  try {
    client.Get(test::OddItemBase("hang", 10) + "a.zip", {});
    FAIL() << "no timeout";
  } catch (const HttpError& e) {
    EXPECT_TRUE(e.TimedOut()) << e.code() << " " << e.what();
  }
  // A body that stops half-way times out too.
  auto response = client.Get(test::OddItemBase("stall", 200000) + "a.zip", {});
  StringSink sink;
  try {
    response.ReadBody(sink, nullptr);
    FAIL() << "no timeout";
  } catch (const HttpError& e) {
    EXPECT_TRUE(e.TimedOut()) << e.code() << " " << e.what();
  }
  EXPECT_LT(sink.data.size(), 200000u);
  // The client is usable again afterwards.
  EXPECT_EQ(client.Head(test::NginxUrl() + "small.zip").status, 200);
}

TEST(HttpClient, ResponseHeadersAndRanges) {
  LK_REQUIRE_SERVERS();
  HttpClient client;
  const std::string url = test::NginxUrl() + "big.zip";
  std::string etag;
  {
    auto whole = client.Get(url, {});
    etag = whole.Header("ETag");
    EXPECT_FALSE(etag.empty());
    EXPECT_FALSE(whole.Header("Last-Modified").empty());
    EXPECT_EQ(whole.Header("X-Not-There"), "");
  }
  const std::string expected = test::ReadWhole(test::NginxRoot() / "big.zip");
  auto part = client.Get(url, {{"Range", "bytes=1000-"}, {"If-Range", etag}});
  EXPECT_EQ(part.status(), 206);
  EXPECT_EQ(part.Header("Content-Range"),
            "bytes 1000-" + std::to_string(expected.size() - 1) + "/" + std::to_string(expected.size()));
  StringSink sink;
  EXPECT_TRUE(part.ReadBody(sink, nullptr).complete);
  EXPECT_TRUE(sink.data == expected.substr(1000));
}

}  // namespace
}  // namespace lk
