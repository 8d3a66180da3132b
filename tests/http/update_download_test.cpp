// Item sizes and item downloads into a Patch folder, against nginx and the
// odd-answer server, with a real UI thread receiving the progress.
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

class UpdateDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(patch());
    UpdateTotalBytes = 0;
    UpdateDoneBytes = 0;
    DownloadBusy = 0;
    LabelRefreshTick = 0;
    UpdateStopwatch.Start();
    shown.ui_thread = ui.thread_id();
  }
  fs::path patch() const { return dir.path() / L"Patch"; }
  std::string patch_utf8() const { return Narrow(patch().wstring()); }
  // A snapshot of the recorder, taken on the UI thread.
  Recorder Shown() {
    Recorder copy;
    ui.dispatcher().Invoke([&] { copy = shown; });
    return copy;
  }

  test::TempDir dir;
  test::UiThread ui;
  Recorder shown;
  UpdateDownloader downloader{ui.dispatcher(), shown, Narrow((dir.path() / L"Patch").wstring())};
};

TEST_F(UpdateDownload, RemoteSizes) {
  LK_REQUIRE_SERVERS();
  const auto small = static_cast<std::int64_t>(fs::file_size(test::NginxRoot() / "small.zip"));
  EXPECT_EQ(GetRemoteFileSize(test::NginxUrl(), "small.zip"), small);
  EXPECT_EQ(GetRemoteFileSize(test::NginxUrl(), "nothing.zip"), 0);
  EXPECT_EQ(GetRemoteFileSize(test::OddItemBase("refuse-head", 999), "a.zip"), 0);
  EXPECT_EQ(GetRemoteFileSize(test::OddItemBase("no-length", 999), "a.zip"), -1);
  EXPECT_EQ(GetRemoteFileSize(test::OddItemBase("missing", 999), "a.zip"), 0);
  // Plain concatenation: "up" + "a.zip" asks for /upa.zip.
  EXPECT_EQ(GetRemoteFileSize(test::NginxUrl() + "up", "a.zip"),
            static_cast<std::int64_t>(fs::file_size(test::NginxRoot() / "upa.zip")));
  EXPECT_THROW(GetRemoteFileSize(test::ClosedUrl(), "a.zip"), HttpError);
}

TEST_F(UpdateDownload, ItemFromNginxLandsCompleteInThePatchFolder) {
  LK_REQUIRE_SERVERS();
  const std::string expected = test::ReadWhole(test::NginxRoot() / "big.zip");
  const auto size = static_cast<std::int64_t>(expected.size());
  UpdateTotalBytes = size + 1000;
  UpdateDoneBytes = 1000;
  ASSERT_TRUE(downloader.DownloadFile(test::NginxUrl(), "big.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"big.zip") == expected);
  EXPECT_EQ(FolderNames(patch()), std::vector<std::string>{"big.zip"});
  EXPECT_EQ(UpdateDoneBytes.load(), 1000 + size);
  EXPECT_EQ(DownloadBusy.load(), 0);
  EXPECT_EQ(downloader.progress().total_size(), size);

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

TEST_F(UpdateDownload, AnExistingItemIsReplaced) {
  LK_REQUIRE_SERVERS();
  std::ofstream(patch() / L"small.zip", std::ios::binary) << "old contents, much longer than nothing at all";
  ASSERT_TRUE(downloader.DownloadFile(test::NginxUrl(), "small.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"small.zip") == test::ReadWhole(test::NginxRoot() / "small.zip"));
  EXPECT_EQ(FolderNames(patch()), std::vector<std::string>{"small.zip"});
}

TEST_F(UpdateDownload, BaseAndNameArePlainlyJoined) {
  LK_REQUIRE_SERVERS();
  // "…/up" + "a.zip" asks for /upa.zip and stores it as a.zip.
  ASSERT_TRUE(downloader.DownloadFile(test::NginxUrl() + "up", "a.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"a.zip") == test::ReadWhole(test::NginxRoot() / "upa.zip"));
  EXPECT_EQ(FolderNames(patch()), std::vector<std::string>{"a.zip"});
}

TEST_F(UpdateDownload, ItemsOfARunAddUpInUpdateDoneBytes) {
  LK_REQUIRE_SERVERS();
  const auto small = static_cast<std::int64_t>(fs::file_size(test::NginxRoot() / "small.zip"));
  UpdateTotalBytes = small + 7000;
  ASSERT_TRUE(downloader.DownloadFile(test::NginxUrl(), "small.zip"));
  EXPECT_EQ(UpdateDoneBytes.load(), small);
  // A failed item still counts with its announced size.
  EXPECT_FALSE(downloader.DownloadFile(test::OddItemBase("short", 7000), "b.zip"));
  EXPECT_EQ(UpdateDoneBytes.load(), small + 7000);
  const Recorder r = Shown();
  // The second item's start (its empty bar) shows the run bar at the first
  // item's bytes: both bars are set once per start and per callback.
  ASSERT_EQ(r.item_bar.size(), r.run_bar.size());
  std::size_t second_start = r.item_bar.size();
  for (std::size_t i = 0; i < r.item_bar.size(); ++i)
    if (r.item_bar[i] == (BarState{7000, 0})) second_start = i;
  ASSERT_LT(second_start, r.run_bar.size());
  EXPECT_EQ(r.run_bar[second_start],
            (BarState{static_cast<std::int32_t>(small + 7000), static_cast<std::int32_t>(small)}));
}

TEST_F(UpdateDownload, TheGetCarriesExactlyOneExtraHeader) {
  LK_REQUIRE_SERVERS();
  ASSERT_TRUE(downloader.DownloadFile(test::OddItemBase("ok", 3000), "hdr.zip"));
  HttpClient client;
  auto response = client.Get(test::OddUrl() + "_headers?path=/ok/3000/hdr.zip", {});
  ASSERT_EQ(response.status(), 200);
  struct Sink : DownloadSink {
    std::string text;
    void SetLength(std::int64_t) override {}
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

TEST_F(UpdateDownload, FailedTransfersLeaveNothingUnderTheItemsName) {
  LK_REQUIRE_SERVERS();
  struct Case {
    const char* mode;
    std::int64_t size;
  } cases[] = {{"missing", 5000}, {"drop", 300000}, {"short", 300000}};
  for (const auto& c : cases) {
    // A stale copy from an earlier run must not pass for the new item.
    std::ofstream(patch() / L"item.zip", std::ios::binary) << "stale";
    UpdateDoneBytes = 0;
    EXPECT_FALSE(downloader.DownloadFile(test::OddItemBase(c.mode, c.size), "item.zip")) << c.mode;
    EXPECT_TRUE(FolderNames(patch()).empty()) << c.mode;
    EXPECT_EQ(DownloadBusy.load(), 0) << c.mode;
  }
  // Without a response at all the size request raises.
  EXPECT_THROW(downloader.DownloadFile(test::ClosedUrl(), "item.zip"), HttpError);
  EXPECT_TRUE(FolderNames(patch()).empty());
}

TEST_F(UpdateDownload, RefusedHeadTakesTheSizeFromTheFirstCallback) {
  LK_REQUIRE_SERVERS();
  UpdateTotalBytes = 0;  // the size pass counted this item as 0
  ASSERT_TRUE(downloader.DownloadFile(test::OddItemBase("refuse-head", 150000), "r.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"r.zip") == test::OddBytes(150000));
  EXPECT_EQ(downloader.progress().total_size(), 150000);
  EXPECT_EQ(UpdateDoneBytes.load(), 150000);
  const Recorder r = Shown();
  EXPECT_EQ(r.item_bar.front(), (BarState{0, 0}));
  EXPECT_EQ(r.item_bar.back(), (BarState{150000, 150000}));
  EXPECT_TRUE(r.run_percent.empty());  // no positive run total
}

TEST_F(UpdateDownload, UnknownLengthKeepsZeroPercentUntilCompletion) {
  LK_REQUIRE_SERVERS();
  UpdateTotalBytes = 200000;
  ASSERT_TRUE(downloader.DownloadFile(test::OddItemBase("no-length", 200000), "n.zip"));
  EXPECT_TRUE(test::ReadWhole(patch() / L"n.zip") == test::OddBytes(200000));
  EXPECT_EQ(downloader.progress().total_size(), -1);
  EXPECT_EQ(UpdateDoneBytes.load(), -1);  // the run total was one byte smaller as well
  const Recorder r = Shown();
  EXPECT_EQ(r.item_percent, (std::vector<std::string>{"0%", "100%"}));
}

TEST_F(UpdateDownload, SlowBodyShowsProgressAlongTheWay) {
  LK_REQUIRE_SERVERS();
  UpdateTotalBytes = 300000;
  ASSERT_TRUE(downloader.DownloadFile(test::OddItemBase("slow", 300000), "s.zip"));
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

TEST_F(UpdateDownload, CancelEndsATransferPromptlyAndLeavesNothing) {
  LK_REQUIRE_SERVERS();
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread closer([&] {
    std::this_thread::sleep_for(400ms);
    cancelled_at = std::chrono::steady_clock::now();
    downloader.Cancel();
  });
  const bool ok = downloader.DownloadFile(test::OddItemBase("slow", 600000), "c.zip");
  const auto ended = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_FALSE(ok);
  EXPECT_LT(ended - cancelled_at, 1500ms);
  EXPECT_TRUE(FolderNames(patch()).empty());
  // Later items fail at once.
  EXPECT_FALSE(downloader.DownloadFile(test::NginxUrl(), "small.zip"));
  EXPECT_TRUE(FolderNames(patch()).empty());
}

TEST_F(UpdateDownload, CancelEndsASizeRequestToAStalledServer) {
  LK_REQUIRE_SERVERS();
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread closer([&] {
    std::this_thread::sleep_for(300ms);
    cancelled_at = std::chrono::steady_clock::now();
    downloader.Cancel();
  });
  // The size request raises, which ends the update run.
  EXPECT_THROW(downloader.GetRemoteFileSize(test::OddItemBase("hang", 10), "h.zip"), HttpError);
  const auto ended = std::chrono::steady_clock::now();
  closer.join();
  EXPECT_LT(ended - cancelled_at, 1000ms);
  EXPECT_THROW(downloader.GetRemoteFileSize(test::NginxUrl(), "small.zip"), HttpError);
}

TEST_F(UpdateDownload, SizeThroughTheDownloaderMatchesTheFreeFunction) {
  LK_REQUIRE_SERVERS();
  EXPECT_EQ(downloader.GetRemoteFileSize(test::NginxUrl(), "small.zip"),
            GetRemoteFileSize(test::NginxUrl(), "small.zip"));
  EXPECT_EQ(downloader.GetRemoteFileSize(test::OddItemBase("refuse-head", 9), "a.zip"), 0);
  EXPECT_EQ(downloader.GetRemoteFileSize(test::OddItemBase("no-length", 9), "a.zip"), -1);
}

TEST_F(UpdateDownload, ItemNamesOutsideThePatchFolderAreRefused) {
  LK_REQUIRE_SERVERS();
  for (const char* name : {"..\\small.zip", "../small.zip", "sub/small.zip", "C:small.zip", ""}) {
    EXPECT_FALSE(downloader.DownloadFile(test::NginxUrl(), name)) << name;
  }
  EXPECT_TRUE(FolderNames(patch()).empty());
  EXPECT_FALSE(fs::exists(dir.path() / L"small.zip"));
}

TEST_F(UpdateDownload, MissingPatchFolderFailsTheItem) {
  LK_REQUIRE_SERVERS();
  UpdateDownloader elsewhere(ui.dispatcher(), shown, Narrow((dir.path() / L"NoSuchFolder").wstring()));
  EXPECT_FALSE(elsewhere.DownloadFile(test::NginxUrl(), "small.zip"));
  EXPECT_EQ(DownloadBusy.load(), 0);
}

}  // namespace
}  // namespace lk
