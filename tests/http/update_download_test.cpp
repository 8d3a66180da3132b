// Item sizes and item downloads into a Patch folder, against nginx and the
// odd-answer server, with a real UI thread receiving the progress: whole
// items, failures, resumption of cut downloads, retries and cancellation.
#include "launcher/update_download.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/http/servers.h"
#include "tests/support/temp_dir_win.h"
#include "tests/support/ui_thread_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Records what the window would show; called on the UI thread.
struct Recorder : ProgressDisplay {
  DWORD ui_thread = 0;
  bool wrong_thread = false;
  std::vector<BarState> item_bar, run_bar;
  std::vector<std::string> item_percent, run_percent, speed, status;
  void Check() {
    if (GetCurrentThreadId() != ui_thread) wrong_thread = true;
  }
  void SetItemBar(BarState b) override { Check(), item_bar.push_back(b); }
  void SetRunBar(BarState b) override { Check(), run_bar.push_back(b); }
  void SetItemPercent(const std::string& t) override { Check(), item_percent.push_back(t); }
  void SetRunPercent(const std::string& t) override { Check(), run_percent.push_back(t); }
  void SetSpeed(const std::string& t) override { Check(), speed.push_back(t); }
  void SetStatus(const std::string& t) override { Check(), status.push_back(t); }
};

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(Narrow(e.path().filename().wstring()));
  std::sort(names.begin(), names.end());
  return names;
}

using FilePair = std::vector<std::string>;

// A quick policy: short pauses between attempts, a short idle timeout.
FetchPolicy QuickPolicy() {
  FetchPolicy p;
  p.http.idle_timeout = 1500ms;
  p.retry_pauses = {50ms, 100ms, 200ms};
  return p;
}

std::string OddRanges(const std::string& path) {
  HttpClient client;
  auto response = client.Get(test::OddUrl() + "_ranges?path=" + path, {});
  struct Sink : DownloadSink {
    std::string text;
    void Add(const std::uint8_t* p, std::size_t n) override { text.append(reinterpret_cast<const char*>(p), n); }
  } sink;
  response.ReadBody(sink, nullptr);
  return sink.text;
}

std::string Header(const std::string& url, const std::string& name) {
  HttpClient client;
  return client.Get(url, {}).Header(name);
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class UpdateDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(patch());
    progress.UpdateStopwatch.Start();
    shown.ui_thread = ui.thread_id();
  }
  fs::path patch() const { return dir.path() / L"Patch"; }
  // A snapshot of the recorder, taken on the UI thread.
  Recorder Shown() {
    Recorder copy;
    ui.dispatcher().Invoke([&] { copy = shown; });
    return copy;
  }
  // The run's order: the size, then the download.
  bool Download(const std::string& url, const std::string& name) {
    return downloader.DownloadFile(url, name, downloader.GetRemoteFileSize(url, name));
  }

  test::TempDir dir;
  test::UiThread ui;
  Recorder shown;
  CancelToken cancel;
  UpdateProgress progress{shown, [this](const std::function<void()>& fn) { return ui.dispatcher().Invoke(fn, cancel); }};
  FetchPolicy policy = QuickPolicy();
  HttpClient client{policy.http};
  CancelToken::Registration abort = cancel.OnCancel([this] { client.Abort(); });
  UpdateDownloader downloader{client, cancel, progress, Narrow((dir.path() / L"Patch").wstring()), policy};
};

TEST_F(UpdateDownload, RemoteSizes) {
  LK_REQUIRE_SERVERS();
  const auto small = static_cast<std::int64_t>(fs::file_size(test::NginxRoot() / "small.zip"));
  EXPECT_EQ(downloader.GetRemoteFileSize(test::NginxUrl(), "small.zip"), small);
  EXPECT_EQ(downloader.GetRemoteFileSize(test::NginxUrl(), "nothing.zip"), 0);
  EXPECT_EQ(downloader.GetRemoteFileSize(test::OddItemBase("refuse-head", 999), "a.zip"), 0);
  EXPECT_EQ(downloader.GetRemoteFileSize(test::OddItemBase("no-length", 999), "a.zip"), -1);
  EXPECT_EQ(downloader.GetRemoteFileSize(test::OddItemBase("missing", 999), "a.zip"), 0);
  // Plain concatenation: "up" + "a.zip" asks for /upa.zip.
  EXPECT_EQ(downloader.GetRemoteFileSize(test::NginxUrl() + "up", "a.zip"),
            static_cast<std::int64_t>(fs::file_size(test::NginxRoot() / "upa.zip")));
  // No answer: the size only feeds the display, so it counts as 0 and the
  // download decides.
  EXPECT_EQ(downloader.GetRemoteFileSize(test::ClosedUrl(), "a.zip"), 0);
}

TEST_F(UpdateDownload, ItemFromNginxLandsCompleteInThePatchFolder) {
  LK_REQUIRE_SERVERS();
  const std::string expected = test::ReadWhole(test::NginxRoot() / "big.zip");
  const auto size = static_cast<std::int64_t>(expected.size());
  progress.UpdateTotalBytes = size + 1000;
  progress.UpdateDoneBytes = 1000;
  ASSERT_TRUE(Download(test::NginxUrl(), "big.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"big.zip") == expected);
  EXPECT_EQ(FolderNames(patch()), std::vector<std::string>{"big.zip"});
  EXPECT_EQ(progress.UpdateDoneBytes.load(), 1000 + size);
  EXPECT_EQ(progress.DownloadBusy.load(), 0);
  EXPECT_EQ(progress.item_size(), size);

  const Recorder r = Shown();
  EXPECT_FALSE(r.wrong_thread);
  ASSERT_FALSE(r.item_percent.empty());
  EXPECT_EQ(r.item_percent.front(), "0%");
  EXPECT_EQ(r.item_percent.back(), "100%");
  // Start: item bar empty, run bar at the bytes already done.
  EXPECT_EQ(r.item_bar.front(), (BarState{static_cast<std::int32_t>(size), 0}));
  EXPECT_EQ(r.run_bar.front(), (BarState{static_cast<std::int32_t>(size + 1000), 1000}));
  EXPECT_EQ(r.item_bar.back(), (BarState{static_cast<std::int32_t>(size), static_cast<std::int32_t>(size)}));
  EXPECT_EQ(r.run_percent.back(), "100%");
  ASSERT_FALSE(r.status.empty());
  EXPECT_EQ(r.status.front().rfind("已下载: ", 0), 0u);
}

TEST_F(UpdateDownload, AnExistingItemIsReplacedAndNamesArePlainlyJoined) {
  LK_REQUIRE_SERVERS();
  WriteFile(patch() / L"small.zip", "old contents, much longer than nothing at all");
  ASSERT_TRUE(Download(test::NginxUrl(), "small.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"small.zip") == test::ReadWhole(test::NginxRoot() / "small.zip"));
  // "…/up" + "a.zip" asks for /upa.zip and stores it as a.zip.
  ASSERT_TRUE(Download(test::NginxUrl() + "up", "a.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"a.zip") == test::ReadWhole(test::NginxRoot() / "upa.zip"));
  EXPECT_EQ(FolderNames(patch()), (std::vector<std::string>{"a.zip", "small.zip"}));
}

TEST_F(UpdateDownload, ItemsOfARunAddUpInUpdateDoneBytes) {
  LK_REQUIRE_SERVERS();
  const auto small = static_cast<std::int64_t>(fs::file_size(test::NginxRoot() / "small.zip"));
  progress.UpdateTotalBytes = small + 7000;
  ASSERT_TRUE(Download(test::NginxUrl(), "small.zip"));
  EXPECT_EQ(progress.UpdateDoneBytes.load(), small);
  // A failed item still counts with its announced size.
  EXPECT_FALSE(Download(test::OddItemBase("short", 7000), "b.zip"));
  EXPECT_EQ(progress.UpdateDoneBytes.load(), small + 7000);
  const Recorder r = Shown();
  // The second item's start (its empty bar) shows the run bar at the first
  // item's bytes: both bars are set once per start and per callback.
  ASSERT_EQ(r.item_bar.size(), r.run_bar.size());
  std::size_t second_start = r.item_bar.size();
  for (std::size_t i = 0; i < r.item_bar.size(); ++i)
    if (r.item_bar[i] == (BarState{7000, 0})) {
      second_start = i;
      break;
    }
  ASSERT_LT(second_start, r.run_bar.size());
  EXPECT_EQ(r.run_bar[second_start],
            (BarState{static_cast<std::int32_t>(small + 7000), static_cast<std::int32_t>(small)}));
}

TEST_F(UpdateDownload, TheGetCarriesExactlyOneExtraHeader) {
  LK_REQUIRE_SERVERS();
  ASSERT_TRUE(Download(test::OddItemBase("ok", 3000), "hdr.zip"));
  HttpClient plain;
  auto response = plain.Get(test::OddUrl() + "_headers?path=/ok/3000/hdr.zip", {});
  ASSERT_EQ(response.status(), 200);
  struct Sink : DownloadSink {
    std::string text;
    void Add(const std::uint8_t* p, std::size_t n) override {
      text.append(reinterpret_cast<const char*>(p), n);
    }
  } sink;
  response.ReadBody(sink, nullptr);
  int connection_lines = 0;
  std::size_t pos = 0;
  std::string connection_value;
  while (pos < sink.text.size()) {
    const std::size_t end = sink.text.find("\r\n", pos);
    const std::string line = sink.text.substr(pos, end - pos);
    pos = end + 2;
    const std::string name = line.substr(0, line.find(':'));
    std::string lower = name;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "connection") {
      ++connection_lines;
      connection_value = line.substr(name.size() + 2);
    }
    // Nothing but what WinHTTP always sends and our one header.
    EXPECT_TRUE(lower == "connection" || lower == "host" || lower == "user-agent" || lower == "accept" ||
                lower == "accept-encoding")
        << line;
  }
  EXPECT_EQ(connection_lines, 1) << sink.text;
  EXPECT_EQ(connection_value, "keep-alive");
}

struct FailureCase {
  const char* mode;
  std::int64_t size;
  const char* reason;
  std::size_t gets;  // requests the server saw
};

TEST_F(UpdateDownload, FailuresAreNamedAndLeaveNothingUnderTheItemsName) {
  LK_REQUIRE_SERVERS();
  const FailureCase cases[] = {
      // Final answers are not retried.
      {"missing", 5000, "HTTP 404", 1},
      // Transient ones are, three times.
      {"status500", 5000, "HTTP 500", 4},
      {"drop", 300000, "连接中断", 4},
      {"short", 300000, "连接中断", 4},
      {"stall", 300000, "连接超时", 4},
      // More bytes than the size request said: refused at once.
      {"grow", 100000, "文件过大", 1},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::string name = std::string("item-") + c.mode + ".zip";
    // A stale copy from an earlier run must not pass for the new item.
    WriteFile(patch() / Wide(name), "stale");
    EXPECT_FALSE(Download(test::OddItemBase(c.mode, c.size), name));
    EXPECT_EQ(FetchFailureText(downloader.last()), c.reason) << downloader.last().detail;
    EXPECT_TRUE(FolderNames(patch()).empty()) << ::testing::PrintToString(FolderNames(patch()));
    EXPECT_EQ(progress.DownloadBusy.load(), 0);
    const std::string ranges = OddRanges("/" + std::string(c.mode) + "/" + std::to_string(c.size) + "/" + name);
    EXPECT_EQ(static_cast<std::size_t>(std::count(ranges.begin(), ranges.end(), '\n')), c.gets) << ranges;
  }
  EXPECT_FALSE(Download(test::ClosedUrl(), "item.zip"));
  EXPECT_EQ(FetchFailureText(downloader.last()), "无法连接");
  EXPECT_TRUE(FolderNames(patch()).empty());
}

// The first GET is cut half-way; the retry asks only for the rest.
TEST_F(UpdateDownload, ACutDownloadResumesWithRangeAndIfRange) {
  LK_REQUIRE_SERVERS();
  const std::int64_t size = 400000;
  progress.UpdateTotalBytes = size;
  ASSERT_TRUE(Download(test::OddItemBase("range-cut", size), "r.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"r.zip") == test::OddBytes(size));
  EXPECT_EQ(FolderNames(patch()), std::vector<std::string>{"r.zip"});
  const std::string ranges = OddRanges("/range-cut/400000/r.zip");
  EXPECT_EQ(ranges, "-\nbytes=" + std::to_string(size / 2) + "-\n");
  // The If-Range of the second request was the item's ETag.
  HttpClient plain;
  auto headers = plain.Get(test::OddUrl() + "_headers?path=/range-cut/400000/r.zip", {});
  struct Sink : DownloadSink {
    std::string text;
    void Add(const std::uint8_t* p, std::size_t n) override { text.append(reinterpret_cast<const char*>(p), n); }
  } sink;
  headers.ReadBody(sink, nullptr);
  EXPECT_NE(sink.text.find("If-Range: \"lk-400000-0\""), std::string::npos) << sink.text;
  // The bars kept counting from where they were.
  const Recorder r = Shown();
  for (std::size_t i = 1; i < r.item_bar.size(); ++i)
    EXPECT_GE(r.item_bar[i].position, r.item_bar[i - 1].position) << i;
  EXPECT_EQ(r.item_bar.back(), (BarState{static_cast<std::int32_t>(size), static_cast<std::int32_t>(size)}));
  EXPECT_EQ(progress.UpdateDoneBytes.load(), size);
}

TEST_F(UpdateDownload, AServerThatIgnoresRangeOrAChangedItemStartsOver) {
  LK_REQUIRE_SERVERS();
  const std::int64_t size = 300000;
  // Range ignored: the whole body replaces the partial file.
  ASSERT_TRUE(Download(test::OddItemBase("norange-cut", size), "n.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"n.zip") == test::OddBytes(size));
  EXPECT_EQ(OddRanges("/norange-cut/300000/n.zip"), "-\nbytes=" + std::to_string(size / 2) + "-\n");
  // A new version between the attempts: its ETag no longer matches, the
  // server sends the whole new version, and no bytes of the old one stay.
  ASSERT_TRUE(Download(test::OddItemBase("changing-cut", size), "c.zip"));
  const std::string got = test::ReadWhole(patch() / L"c.zip");
  ASSERT_EQ(got.size(), static_cast<std::size_t>(size));
  for (std::int64_t i = 0; i < size; i += 997)
    ASSERT_EQ(static_cast<unsigned char>(got[static_cast<std::size_t>(i)]), (i % 251 * 31 + 7 + 2) % 251) << i;
  EXPECT_EQ(FolderNames(patch()), (std::vector<std::string>{"c.zip", "n.zip"}));
}

TEST_F(UpdateDownload, A503IsRetriedAndThenServed) {
  LK_REQUIRE_SERVERS();
  ASSERT_TRUE(Download(test::OddItemBase("flaky", 50000), "f.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"f.zip") == test::OddBytes(50000));
  EXPECT_EQ(OddRanges("/flaky/50000/f.zip"), "-\n-\n");
}

// A download cut in an earlier run (the launcher closed or killed) left
// its partial file and note: nginx is asked for the rest only.
TEST_F(UpdateDownload, APartialFileOfAnEarlierRunIsResumedFromNginx) {
  LK_REQUIRE_SERVERS();
  const std::string whole = test::ReadWhole(test::NginxRoot() / "big.zip");
  const std::string url = test::NginxUrl() + "big.zip";
  const std::string etag = Header(url, "ETag");
  ASSERT_FALSE(etag.empty());
  struct Case {
    const char* what;
    std::string validator;
    bool resumed;
  };
  const Case cases[] = {{"same item", etag, true}, {"item changed since", "\"0-0\"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The kept part: the first megabyte, or garbage when the item changed.
    const std::string kept = c.resumed ? whole.substr(0, 1 << 20) : std::string(1 << 20, 'x');
    WriteFile(patch() / L"big.zip.lkpart", kept);
    WriteFile(patch() / L"big.zip.lkinfo",
              "url=" + url + "\nvalidator=" + c.validator + "\nlength=" + std::to_string(whole.size()) + "\n");
    ASSERT_TRUE(Download(test::NginxUrl(), "big.zip"));
    EXPECT_TRUE(test::ReadWhole(patch() / L"big.zip") == whole);
    EXPECT_EQ(FolderNames(patch()), std::vector<std::string>{"big.zip"});
    fs::remove(patch() / L"big.zip");
  }
  // The server's log: the first GET asked for the bytes from 1 MiB on with
  // the item's ETag; the second asked the same with the stale one and got
  // the whole item.
  // nginx writes a quote inside a logged value as \x22.
  auto logged = [](std::string v) {
    for (std::size_t at; (at = v.find('"')) != std::string::npos;) v.replace(at, 1, "\\x22");
    return v;
  };
  const std::string log = test::ReadWhole(fs::path(Wide(test::Env("LK_NGINX_LOG"))));
  EXPECT_NE(log.find("GET /big.zip 206 range=\"bytes=1048576-\" if_range=\"" + logged(etag) + "\""),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("GET /big.zip 200 range=\"bytes=1048576-\" if_range=\"" + logged("\"0-0\"") + "\""),
            std::string::npos)
      << log;
}

TEST_F(UpdateDownload, RefusedHeadTakesTheSizeFromTheFirstCallback) {
  LK_REQUIRE_SERVERS();
  progress.UpdateTotalBytes = 0;  // the size pass counted this item as 0
  ASSERT_TRUE(Download(test::OddItemBase("refuse-head", 150000), "r.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"r.zip") == test::OddBytes(150000));
  EXPECT_EQ(progress.item_size(), 150000);
  EXPECT_EQ(progress.UpdateDoneBytes.load(), 150000);
  const Recorder r = Shown();
  EXPECT_EQ(r.item_bar.front(), (BarState{0, 0}));
  EXPECT_EQ(r.item_bar.back(), (BarState{150000, 150000}));
  EXPECT_TRUE(r.run_percent.empty());  // no positive run total
}

TEST_F(UpdateDownload, UnknownLengthKeepsZeroPercentUntilCompletion) {
  LK_REQUIRE_SERVERS();
  progress.UpdateTotalBytes = 200000;
  ASSERT_TRUE(Download(test::OddItemBase("no-length", 200000), "n.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"n.zip") == test::OddBytes(200000));
  EXPECT_EQ(progress.item_size(), -1);
  EXPECT_EQ(progress.UpdateDoneBytes.load(), -1);  // the run total was one byte smaller as well
  const Recorder r = Shown();
  EXPECT_EQ(r.item_percent, (std::vector<std::string>{"0%", "100%"}));
}

TEST_F(UpdateDownload, SlowBodyShowsProgressAlongTheWay) {
  LK_REQUIRE_SERVERS();
  progress.UpdateTotalBytes = 300000;
  ASSERT_TRUE(Download(test::OddItemBase("slow", 300000), "s.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"s.zip") == test::OddBytes(300000));
  const Recorder r = Shown();
  EXPECT_FALSE(r.wrong_thread);
  // About 37 pieces 50 ms apart: the bars follow each, the labels at most
  // every 100 ms, the speed at most once a second.
  EXPECT_GT(r.run_bar.size(), 10u);
  EXPECT_GT(r.status.size(), 3u);
  EXPECT_LT(r.status.size(), r.run_bar.size());
  EXPECT_GE(r.speed.size(), 1u);
  EXPECT_LE(r.speed.size(), 3u);
  EXPECT_EQ(r.run_percent.back(), "100%");
}

TEST_F(UpdateDownload, CancelEndsATransferPromptlyAndKeepsWhatCanBeResumed) {
  LK_REQUIRE_SERVERS();
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread closer([&] {
    std::this_thread::sleep_for(400ms);
    cancelled_at = std::chrono::steady_clock::now();
    cancel.Cancel();
  });
  // 600 KB at 8 KiB per 50 ms: still on its way when the window closes.
  const bool ok = Download(test::OddItemBase("slow", 600000), "c.zip");
  const auto ended = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(downloader.last().failure, FetchFailure::kCancelled);
  EXPECT_LT(ended - cancelled_at, 1500ms);
  // The slow item has no validator: nothing of it can be resumed.
  EXPECT_TRUE(FolderNames(patch()).empty());
  // Later requests end at once.
  EXPECT_THROW(downloader.GetRemoteFileSize(test::NginxUrl(), "small.zip"), CancelledError);
  EXPECT_FALSE(downloader.DownloadFile(test::NginxUrl(), "small.zip", 0));
  EXPECT_EQ(downloader.last().failure, FetchFailure::kCancelled);
  EXPECT_TRUE(FolderNames(patch()).empty());
}

TEST_F(UpdateDownload, CancelDuringAPauseBetweenAttemptsEndsAtOnce) {
  LK_REQUIRE_SERVERS();
  policy.retry_pauses = {30s};
  UpdateDownloader patient{client, cancel, progress, Narrow(patch().wstring()), policy};
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread closer([&] {
    std::this_thread::sleep_for(1s);
    cancelled_at = std::chrono::steady_clock::now();
    cancel.Cancel();
  });
  EXPECT_FALSE(patient.DownloadFile(test::OddItemBase("range-cut", 100000), "p.zip", 100000));
  const auto ended = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_EQ(patient.last().failure, FetchFailure::kCancelled);
  EXPECT_LT(ended - cancelled_at, 1000ms);
  // The half that came is kept for the next start, with its note.
  EXPECT_EQ(FolderNames(patch()), (std::vector<std::string>{"p.zip.lkinfo", "p.zip.lkpart"}));
  EXPECT_EQ(fs::file_size(patch() / L"p.zip.lkpart"), 50000u);
}

TEST_F(UpdateDownload, CancelEndsASizeRequestToAStalledServer) {
  LK_REQUIRE_SERVERS();
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread closer([&] {
    std::this_thread::sleep_for(300ms);
    cancelled_at = std::chrono::steady_clock::now();
    cancel.Cancel();
  });
  EXPECT_THROW(downloader.GetRemoteFileSize(test::OddItemBase("hang", 10), "h.zip"), CancelledError);
  const auto ended = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_LT(ended - cancelled_at, 1000ms);
}

TEST_F(UpdateDownload, AStalledServerTimesOut) {
  LK_REQUIRE_SERVERS();
  // No answer at all: the size counts 0, the download fails with the
  // timeout after its attempts.
  EXPECT_EQ(downloader.GetRemoteFileSize(test::OddItemBase("hang", 10), "h.zip"), 0);
  EXPECT_FALSE(downloader.DownloadFile(test::OddItemBase("hang", 10), "h.zip", 0));
  EXPECT_EQ(FetchFailureText(downloader.last()), "连接超时");
}

TEST_F(UpdateDownload, ItemNamesOutsideThePatchFolderAreRefused) {
  LK_REQUIRE_SERVERS();
  for (const char* name : {"..\\small.zip", "../small.zip", "sub/small.zip", "C:small.zip", ""}) {
    EXPECT_FALSE(Download(test::NginxUrl(), name)) << name;
    EXPECT_EQ(downloader.last().failure, FetchFailure::kUnsafeName) << name;
  }
  EXPECT_TRUE(FolderNames(patch()).empty());
  EXPECT_FALSE(fs::exists(dir.path() / L"small.zip"));
}

TEST_F(UpdateDownload, MissingPatchFolderFailsTheItem) {
  LK_REQUIRE_SERVERS();
  UpdateDownloader elsewhere{client, cancel, progress, Narrow((dir.path() / L"NoSuchFolder").wstring()), policy};
  EXPECT_FALSE(elsewhere.DownloadFile(test::NginxUrl(), "small.zip", 0));
  EXPECT_EQ(FetchFailureText(elsewhere.last()), "无法写入文件");
  EXPECT_EQ(progress.DownloadBusy.load(), 0);
}

}  // namespace
}  // namespace lk
