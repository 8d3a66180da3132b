// The whole update run against real servers on 127.0.0.1: sites written by
// `launcher-kit publish` and served by nginx, the odd-answer server for a
// slow body, and a recording window on a real UI thread. Driven by
// tests/e2e/test_update_run.py, which passes the servers in the environment
// (LK_NGINX_URL, LK_NGINX_ROOT, LK_NOHEAD_URL, LK_ODD_URL, LK_CLOSED_URL).
#include "launcher/UpdateRun.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "core/digest_cache.h"
#include "core/zip_writer.h"
#include "launcher/update_download.h"
#include "platform/http_client.h"
#include "patcher/KillProcessByName.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/kit_run.h"
#include "tests/support/zip_fixture.h"
#include "tests/support/temp_dir_win.h"
#include "tests/support/ui_thread_win.h"

namespace lk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

void Write(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream f(path, std::ios::binary);
  f << content;
}

std::string Read(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string U8(const fs::path& p) { return Narrow(p.wstring()); }

// Every file below folder, "/"-separated relative names.
std::vector<std::string> Tree(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::string r = Narrow(fs::relative(e.path(), folder).wstring());
    std::replace(r.begin(), r.end(), '\\', '/');
    names.push_back(e.is_directory() ? r + "/" : r);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The window as the run sees it: every call recorded, in order, with a
// check that it came on the UI thread.
struct RecordingHost : UpdateHost {
  DWORD ui_thread = 0;
  bool wrong_thread = false;
  bool answer = true;
  std::vector<std::string> calls;
  std::function<void()> on_reload;

  void Note(std::string call) {
    if (GetCurrentThreadId() != ui_thread) wrong_thread = true;
    calls.push_back(std::move(call));
  }
  static std::string Bar(BarState b) { return std::to_string(b.position) + "/" + std::to_string(b.max); }
  void SetItemBar(BarState b) override { Note("ItemBar " + Bar(b)); }
  void SetRunBar(BarState b) override { Note("RunBar " + Bar(b)); }
  void SetItemPercent(const std::string& t) override { Note("ItemPercent " + t); }
  void SetRunPercent(const std::string& t) override { Note("RunPercent " + t); }
  void SetSpeed(const std::string& t) override { Note("Speed " + t); }
  void SetStatus(const std::string& t) override { Note("Status " + t); }
  void SetRemoteTools(const std::string& c1, const std::string& c2, const std::string& p1,
                      const std::string& p2) override {
    Note("RemoteTools " + c1 + "|" + c2 + "|" + p1 + "|" + p2);
  }
  bool AskToUpdate() override {
    Note("Ask");
    return answer;
  }
  void MakeSpeedLabelTransparent() override { Note("Transparent"); }
  void ReloadConfiguration() override {
    Note("Reload");
    if (on_reload) on_reload();
  }
  void ShowMessage(const std::string& text) override { Note("Message " + text); }
};

// The calls that are not progress of a running transfer.
std::vector<std::string> Steps(const std::vector<std::string>& calls) {
  std::vector<std::string> out;
  for (const std::string& c : calls) {
    if (c.starts_with("Speed ") || c.starts_with("Status 已下载") || c.starts_with("ItemPercent 0%"))
      continue;
    out.push_back(c);
  }
  return out;
}

bool Has(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

const std::vector<std::string> kFinalDisplay = {"ItemPercent 100%", "RunPercent 100%", "ItemBar 100/100",
                                                "RunBar 100/100", "Status 更新完成。"};

bool EndsWithFinalDisplay(const std::vector<std::string>& calls) {
  return calls.size() >= kFinalDisplay.size() &&
         std::equal(kFinalDisplay.begin(), kFinalDisplay.end(), calls.end() - kFinalDisplay.size());
}

class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("LK_NGINX_URL").empty()) GTEST_SKIP() << "run through tests/e2e/test_update_run.py";
    static int counter = 0;
    site_name_ = "site" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    site_ = fs::path(Wide(Env("LK_NGINX_ROOT"))) / Wide(site_name_);
    host_.ui_thread = ui_.thread_id();
    // The launcher folder sits one level down, so a write that escapes it
    // would show in the parent.
    launcher_dir_ = outer_.path() / L"游戏";
    fs::create_directories(launcher_dir_);
  }
  void TearDown() override {
    if (run_ && !ui_stopped_) ui_.dispatcher().Invoke([&] { run_->CancelAndWait(10s); });
    run_.reset();
    ui_.Stop();
    std::error_code ec;
    if (!site_.empty()) fs::remove_all(site_, ec);
  }

  fs::path launcher() const { return launcher_dir_ / L"launcher.exe"; }
  std::string base_url() const { return Env("LK_NGINX_URL") + site_name_ + "/"; }
  std::string manifest_url() const { return base_url() + "update.ini"; }

  // The release: launcher, its .inf, and game files; published to the site.
  void Publish(const std::vector<std::pair<std::string, std::string>>& files,
               std::vector<std::string> extra = {}) {
    fs::remove_all(release_.path());
    for (const auto& [name, content] : files) Write(release_.path() / fs::path(Wide(name)), content);
    kit::Args args = {"publish", U8(release_.path()), U8(site_), "--url", base_url()};
    args.insert(args.end(), extra.begin(), extra.end());
    const test::KitResult r = test::RunKit(args);
    ASSERT_EQ(r.code, 0) << r.err;
  }
  void Local(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) Write(launcher_dir_ / fs::path(Wide(name)), content);
  }
  std::string ManifestText() { return Read(site_ / L"update.ini"); }
  void SetManifestText(const std::string& text) { Write(site_ / L"update.ini", text); }
  // Replaces a line "key=..." of the manifest (the first one).
  void EditManifest(const std::string& key, const std::string& value) {
    std::string m = ManifestText();
    const std::size_t at = m.find("\r\n" + key + "=");
    ASSERT_NE(at, std::string::npos) << key;
    const std::size_t end = m.find("\r\n", at + 2);
    m.replace(at + 2, end - at - 2, value.empty() ? "" : key + "=" + value);
    SetManifestText(m);
  }

  // Short timeouts and pauses, so a failing item fails quickly.
  UpdateRunPlace Place() const {
    UpdateRunPlace place{U8(launcher()), {}};
    place.fetch.http.idle_timeout = 1500ms;
    place.fetch.retry_pauses = {50ms, 100ms};
    place.fullCheck = full_check_;
    return place;
  }
  void Start(const std::string& url) { run_ = StartUpdateRun(host_, ui_.dispatcher(), manifest_, url, Place()); }

  // Starts the run and waits until the worker has ended.
  void RunTo(const std::string& url, std::chrono::seconds limit = 60s) {
    Start(url);
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!run_->Finished() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(run_->Finished()) << "the run did not end";
    calls_ = Calls();
  }
  std::vector<std::string> Calls() {
    std::vector<std::string> copy;
    ui_.dispatcher().Invoke([&] { copy = host_.calls; });
    return copy;
  }

  test::TempDir outer_;
  test::TempDir release_;
  fs::path launcher_dir_;
  fs::path site_;
  std::string site_name_;
  test::UiThread ui_;
  RecordingHost host_;
  ManifestIni manifest_;
  std::unique_ptr<UpdateRun> run_;
  std::vector<std::string> calls_;
  bool ui_stopped_ = false;
  bool full_check_ = false;
};

// A release of launcher, configuration and three game files.
const std::vector<std::pair<std::string, std::string>> kRelease = {
    {"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"},
    {"top.txt", "top v2"},           {"data/a.dat", "a v2"},
    {"data/地图/b.dat", "b v2"},
};

TEST_F(UpdateRunTest, AllDigestsMatchAsksNothingAndEndsDone) {
  Publish(kRelease, {"--remote-caption1", "远程一", "--remote-path1", "tools\\r1.exe"});
  Local(kRelease);
  fs::create_directories(launcher_dir_ / L"Patch");  // an empty Patch folder goes
  Write(launcher_dir_ / L"patcher.exe", "left by an earlier update");
  RunTo(manifest_url());
  EXPECT_FALSE(host_.wrong_thread);
  const std::vector<std::string> expected = {"RemoteTools 远程一||tools\\r1.exe|",
                                             "ItemPercent 100%",
                                             "RunPercent 100%",
                                             "ItemBar 100/100",
                                             "RunBar 100/100",
                                             "Status 更新完成。"};
  EXPECT_EQ(calls_, expected);
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"patcher.exe"));
  // The manifest landed in the window's store.
  EXPECT_EQ(manifest_.ReadString("updatedata", "remotebutton1"), "远程一");
  EXPECT_EQ(manifest_.ReadString("File_2", "FileDir"), ".\\");
}

TEST_F(UpdateRunTest, FilesAndConfigurationDifferOkUnpacksAndReloads) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"},
         {"launcher.inf", "old"},
         {"top.txt", "top v1"},
         {"data/a.dat", "a v2"}});
  // The configuration is unpacked before the reload reads it.
  std::string seen_at_reload;
  host_.on_reload = [&] { seen_at_reload = Read(launcher_dir_ / L"launcher.inf"); };
  RunTo(manifest_url());
  EXPECT_FALSE(host_.wrong_thread);
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.inf"), "[Server]\r\nzone=new\r\n");
  EXPECT_EQ(seen_at_reload, "[Server]\r\nzone=new\r\n");
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  EXPECT_EQ(Read(launcher_dir_ / L"data" / L"地图" / L"b.dat"), "b v2");
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.exe"), "launcher v2");
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"patcher.exe"));

  const std::vector<std::string> steps = Steps(calls_);
  ASSERT_GE(steps.size(), 6u);
  EXPECT_EQ(steps[0], "RemoteTools |||");
  EXPECT_EQ(steps[1], "Ask");
  EXPECT_EQ(steps[2], "ItemBar 0/0");
  EXPECT_EQ(steps[3], "RunBar 0/0");
  EXPECT_EQ(steps[4], "Transparent");
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "Reload"), 1);
  EXPECT_TRUE(EndsWithFinalDisplay(calls_));
  // Three items of known size: the run bar ends at its full range.
  EXPECT_GT(run_->Totals().total_bytes, 0);
  EXPECT_EQ(run_->Totals().done_bytes, run_->Totals().total_bytes);
}

TEST_F(UpdateRunTest, FailedReloadEndsTheRunSilently) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "old"}});
  host_.on_reload = [] { throw Error("launcher.inf: broken"); };
  RunTo(manifest_url());
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.back(), "Reload");
  EXPECT_FALSE(Has(calls_, "Status 更新完成。"));
  EXPECT_FALSE(Has(calls_, "Message launcher.inf: broken"));
  // Everything was unpacked before the reload.
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
}

TEST_F(UpdateRunTest, CancelDownloadsNothing) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "old"}, {"top.txt", "top v1"}});
  host_.answer = false;
  RunTo(manifest_url());
  const std::vector<std::string> expected = {
      "RemoteTools |||",  "Ask", "ItemPercent 100%", "RunPercent 100%", "ItemBar 100/100", "RunBar 100/100",
      "Status 更新完成。"};
  EXPECT_EQ(calls_, expected);
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.inf"), "old");
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v1");
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"data"));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
}

TEST_F(UpdateRunTest, AManifestThatCannotBeReadIsAFailureNeverDone) {
  Publish(kRelease);
  // An error status: the message of its code, then the failure.
  RunTo(base_url() + "missing.ini");
  EXPECT_EQ(calls_, (std::vector<std::string>{"Message 请求失败，状态码：404", "Status 更新失败：更新列表（HTTP 404）"}));
  EXPECT_TRUE(manifest_.empty());
  run_.reset();
  // No server, an empty UpDateUrl, a server that never answers.
  const std::pair<std::string, const char*> cases[] = {
      {Env("LK_CLOSED_URL") + "update.ini", "Status 更新失败：更新列表（无法连接）"},
      {"", "Status 更新失败：更新列表（无法连接）"},
      {Env("LK_ODD_URL") + "hang/10/update.ini", "Status 更新失败：更新列表（连接超时）"},
  };
  for (const auto& [url, status] : cases) {
    SCOPED_TRACE(url);
    host_.calls.clear();
    RunTo(url);
    EXPECT_EQ(calls_, std::vector<std::string>{status});
    run_.reset();
  }
  // A body that is no manifest (an HTML page), and one far too large.
  host_.calls.clear();
  SetManifestText("<html><body>not a manifest</body></html>");
  RunTo(manifest_url());
  EXPECT_EQ(calls_, std::vector<std::string>{"Status 更新失败：更新列表（无法读取）"});
  run_.reset();
  host_.calls.clear();
  SetManifestText("[UpdateData]\r\nCount=0\r\n" + std::string(5 * 1024 * 1024, ';'));
  RunTo(manifest_url());
  EXPECT_EQ(calls_, std::vector<std::string>{"Status 更新失败：更新列表（文件过大）"});
}

TEST_F(UpdateRunTest, RefusedHeadStillEndsAtFullProgress) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  // The same site through a location of nginx that answers HEAD with 405.
  const std::string nohead = Env("LK_NOHEAD_URL") + site_name_ + "/";
  EditManifest("UpdateUrl", nohead);
  RunTo(manifest_url());
  EXPECT_EQ(Read(launcher_dir_ / L"data" / L"a.dat"), "a v2");
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  EXPECT_EQ(run_->Totals().total_bytes, 0);
  EXPECT_TRUE(EndsWithFinalDisplay(calls_)) << ::testing::PrintToString(calls_);
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
}

TEST_F(UpdateRunTest, AMissingItemFailsAloneAndIsNamed) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  // File_0 is data\a.dat (sorted release order): its archive is gone.
  ASSERT_NE(ManifestText().find("LocalName=a.dat"), std::string::npos);
  fs::remove(site_ / L"file_0.zip");
  RunTo(manifest_url());
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"data" / L"a.dat"));
  EXPECT_EQ(Read(launcher_dir_ / L"data" / L"地图" / L"b.dat"), "b v2");
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.back(), "Status 更新失败：file_0.zip（HTTP 404）");
  EXPECT_FALSE(Has(calls_, "Status 更新完成。"));
  EXPECT_FALSE(Has(calls_, "RunBar 100/100"));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
  // The next start tries again and, the archive back, completes.
  run_.reset();
  host_.calls.clear();
  Publish(kRelease);
  RunTo(manifest_url());
  EXPECT_EQ(Read(launcher_dir_ / L"data" / L"a.dat"), "a v2");
  EXPECT_TRUE(EndsWithFinalDisplay(calls_));
}

// Nothing but the launcher folder's own subtree may change.
void ExpectOnlyInside(const fs::path& outer) {
  for (const std::string& n : Tree(outer)) EXPECT_TRUE(n.starts_with("游戏/")) << n;
}

using test::ZipOf;

// One bad archive fails its own item only: the others are applied, the bad
// one replaces nothing and is not kept.
TEST_F(UpdateRunTest, ABadArchiveFailsOnlyItsItem) {
  struct Case {
    const char* what;
    std::string archive;  // served as file_0.zip (data\a.dat)
    const char* status;
  };
  const Case cases[] = {
      {"not an archive", "PK\x03\x04 this is no archive", "Status 更新失败：file_0.zip（解压失败）"},
      {"an entry that climbs out", ZipOf({{"a.dat", "fine"}, {"../../escaped.txt", "out"}}),
       "Status 更新失败：file_0.zip（解压失败）"},
      {"the file with another digest", ZipOf({{"a.dat", "not what was published"}, {"extra.txt", "x"}}),
       "Status 更新失败：file_0.zip（文件校验失败）"},
      {"without the named file", ZipOf({{"other.dat", "x"}}), "Status 更新失败：file_0.zip（文件校验失败）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(launcher_dir_);
    fs::create_directories(launcher_dir_);
    host_.calls.clear();
    Publish(kRelease);
    Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}, {"data/a.dat", "a v1"}});
    Write(site_ / L"file_0.zip", c.archive);
    RunTo(manifest_url());
    ASSERT_FALSE(calls_.empty());
    EXPECT_EQ(calls_.back(), c.status);
    EXPECT_FALSE(Has(calls_, "Status 更新完成。"));
    EXPECT_EQ(Read(launcher_dir_ / L"data" / L"a.dat"), "a v1");
    EXPECT_FALSE(fs::exists(launcher_dir_ / L"data" / L"extra.txt"));
    EXPECT_EQ(Read(launcher_dir_ / L"data" / L"地图" / L"b.dat"), "b v2");
    EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
    EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
    ExpectOnlyInside(outer_.path());
    run_.reset();
  }
}

TEST_F(UpdateRunTest, ALauncherArchiveWithoutThePublishedLauncherStartsNoPatcher) {
  Publish({{"launcher.exe", "launcher v2"}, {"top.txt", "top v2"}});
  Local({{"launcher.exe", "the old launcher"}, {"top.txt", "top v1"}});
  Write(site_ / L"launcher.zip", ZipOf({{"launcher.exe", "a launcher nobody published"}}));
  RunTo(manifest_url());
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.back(), "Status 更新失败：launcher.zip（文件校验失败）");
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"patcher.exe"));
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.exe"), "the old launcher");
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
}

TEST_F(UpdateRunTest, CountMissingOrNotANumberFailsAfterTheTools) {
  for (const std::string count : {"", "abc", "2x"}) {
    SCOPED_TRACE("Count=" + count);
    Publish(kRelease);
    Local({{"launcher.exe", "launcher v1"}});  // would be asked about
    EditManifest("Count", count);
    host_.calls.clear();
    RunTo(manifest_url());
    EXPECT_EQ(calls_, (std::vector<std::string>{"RemoteTools |||", "Status 更新失败：更新列表（Count 无效）"}));
    EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
    run_.reset();
  }
}

TEST_F(UpdateRunTest, AHugeCountCostsNothing) {
  Publish(kRelease);
  Local(kRelease);
  EditManifest("Count", "2000000000");
  RunTo(manifest_url());
  EXPECT_TRUE(EndsWithFinalDisplay(calls_)) << ::testing::PrintToString(calls_);
}

TEST_F(UpdateRunTest, ItemsWithoutADownloadAddressAreAFailureWithoutAQuestion) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "old"}});
  EditManifest("UpdateUrl", "");
  RunTo(manifest_url());
  EXPECT_EQ(calls_, (std::vector<std::string>{"RemoteTools |||", "Status 更新失败：更新列表（没有下载地址）"}));
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.inf"), "old");
}

TEST_F(UpdateRunTest, ZeroOrNegativeCountConsidersOnlyLauncherAndConfiguration) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  EditManifest("Count", "-3");
  RunTo(manifest_url());
  EXPECT_EQ(calls_, (std::vector<std::string>{"RemoteTools |||", "ItemPercent 100%", "RunPercent 100%",
                                              "ItemBar 100/100", "RunBar 100/100", "Status 更新完成。"}));
}

TEST_F(UpdateRunTest, NamesThatClimbOutAreSkipped) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "old"}});
  // A real archive one level above the site, where "..\" would reach.
  fs::copy_file(site_ / L"file_0.zip", site_.parent_path() / Wide(site_name_ + "-up.zip"),
                fs::copy_options::overwrite_existing);
  std::string m = ManifestText();
  auto replace = [&m](const std::string& from, const std::string& to) {
    const std::size_t at = m.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    m.replace(at, from.size(), to);
  };
  // File_0 (data\a.dat): its archive name climbs out of the Patch folder.
  replace("GrobalName=file_0.zip", "GrobalName=..\\" + site_name_ + "-up.zip");
  // File_1 (data\地图\b.dat): its folder climbs out of the launcher folder.
  replace("FileDir=data\\地图\\", "FileDir=..\\外面\\");
  // The configuration's archive name is longer than any file name may be.
  replace("ConfigDownloadName=config.zip", "ConfigDownloadName=" + std::string(100000, 'c') + ".zip");
  SetManifestText(m);
  RunTo(manifest_url());
  std::error_code ec;
  fs::remove(site_.parent_path() / Wide(site_name_ + "-up.zip"), ec);
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"data" / L"a.dat"));
  EXPECT_FALSE(fs::exists(outer_.path() / L"外面"));
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");  // the safe item goes on
  ASSERT_FALSE(calls_.empty());
  // The folder is refused before anything reads it, the two archive names
  // when their files differ: three items named unsafe, the first shown.
  EXPECT_EQ(calls_.back(), "Status 更新失败：..\\外面\\（名称不安全）等 3 项");
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.inf"), "old");
  EXPECT_FALSE(Has(calls_, "Reload"));
  ExpectOnlyInside(outer_.path());
}

// What earlier runs left: archives, temporaries of the old downloader,
// partial downloads of items no longer listed, and temporaries beside game
// files from an unpacking that a kill cut short. Partial downloads of
// listed items stay, even when the player declines.
TEST_F(UpdateRunTest, LeftoversOfEarlierRunsAreTidied) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}, {"top.txt", "top v1"}});
  const fs::path patch = launcher_dir_ / L"Patch";
  for (const wchar_t* name : {L"old.zip", L"lkd1A2.tmp", L"gone.zip.lkpart", L"gone.zip.lkinfo", L"launcher.zip",
                              L"file_2.zip.lkpart", L"file_2.zip.lkinfo"})
    Write(patch / name, "left over");
  Write(launcher_dir_ / L"top.txt.lk-part4", "half");
  Write(launcher_dir_ / L"data" / L"a.dat.lk-part0", "half");
  Write(launcher_dir_ / L"data" / L"new.dat", "a new file, cut short");
  Write(patch / L"lk-unpack.journal", "D\t" + U8(launcher_dir_) + "\nD\t" + U8(launcher_dir_ / L"data") +
                                          "\nN\t" + U8(launcher_dir_ / L"data" / L"new.dat") + "\n");
  host_.answer = false;
  RunTo(manifest_url());
  EXPECT_EQ(Tree(patch), (std::vector<std::string>{"file_2.zip.lkinfo", "file_2.zip.lkpart"}));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"top.txt.lk-part4"));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"data" / L"a.dat.lk-part0"));
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"data" / L"new.dat"));
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v1");
}

// A download cut in an earlier run goes on from its partial file: nginx is
// asked for the rest with the item's ETag.
TEST_F(UpdateRunTest, APartialDownloadOfAnEarlierRunIsResumed) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  const std::string archive = Read(site_ / L"file_0.zip");
  const std::string url = base_url() + "file_0.zip";
  HttpClient client;
  const std::string etag = client.Get(url, {}).Header("ETag");
  ASSERT_FALSE(etag.empty());
  const std::size_t half = archive.size() / 2;
  Write(launcher_dir_ / L"Patch" / L"file_0.zip.lkpart", archive.substr(0, half));
  Write(launcher_dir_ / L"Patch" / L"file_0.zip.lkinfo",
        "url=" + url + "\nvalidator=" + etag + "\nlength=" + std::to_string(archive.size()) + "\n");
  RunTo(manifest_url());
  EXPECT_TRUE(EndsWithFinalDisplay(calls_)) << ::testing::PrintToString(calls_);
  EXPECT_EQ(Read(launcher_dir_ / L"data" / L"a.dat"), "a v2");
  const std::string log = Read(fs::path(Wide(Env("LK_NGINX_LOG"))));
  EXPECT_NE(log.find("GET /" + site_name_ + "/file_0.zip 206 range=\"bytes=" + std::to_string(half) + "-\""),
            std::string::npos)
      << log;
}

// The run trusts the digest cache for a file whose identity is unchanged;
// a full check (Shift at start) reads every file.
TEST_F(UpdateRunTest, TheDigestCacheIsTrustedUnlessAFullCheckIsAsked) {
  Publish(kRelease);
  Local(kRelease);
  RunTo(manifest_url());
  ASSERT_TRUE(EndsWithFinalDisplay(calls_));
  EXPECT_TRUE(fs::exists(launcher_dir_ / L"lk-digest.cache"));
  run_.reset();
  // top.txt goes back to an old version, but the cache is told it is the
  // published one, as if the disk had lost a write behind its back.
  Local({{"top.txt", "top v1"}});
  {
    DigestCache cache(U8(launcher_dir_) + "\\");
    cache.Load(U8(launcher_dir_ / L"lk-digest.cache"));
    ManifestIni store;
    ReadManifestText(AsBytes(ManifestText()), store);
    cache.Remember(U8(launcher_dir_ / L"top.txt"), store.ReadString("File_2", "FileMd5"));
    cache.Save(U8(launcher_dir_ / L"lk-digest.cache"));
  }
  host_.calls.clear();
  RunTo(manifest_url());
  EXPECT_FALSE(Has(calls_, "Ask"));
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v1");
  run_.reset();
  host_.calls.clear();
  full_check_ = true;
  RunTo(manifest_url());
  EXPECT_TRUE(Has(calls_, "Ask"));
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  EXPECT_TRUE(EndsWithFinalDisplay(calls_));
}

// Items are fetched a few at once; the display still shows one item after
// the other in list order, the run bar only grows, and every item lands.
TEST_F(UpdateRunTest, ManyItemsFetchedAtOnceAreShownOneAfterTheOther) {
  std::vector<std::pair<std::string, std::string>> release = {{"launcher.exe", "launcher v2"}};
  std::vector<std::pair<std::string, std::string>> local = {{"launcher.exe", "launcher v2"}};
  for (int i = 0; i < 24; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "data/f%02d.dat", i);
    // Sizes differ, so each item's start tells which item it is.
    release.emplace_back(name, std::string(1000 + 977 * i, static_cast<char>('a' + i % 26)));
    local.emplace_back(name, "old");
  }
  Publish(release);
  Local(local);
  RunTo(manifest_url());
  ASSERT_TRUE(EndsWithFinalDisplay(calls_)) << ::testing::PrintToString(calls_);
  for (const auto& [name, content] : release) EXPECT_EQ(Read(launcher_dir_ / fs::path(Wide(name))), content) << name;

  std::vector<std::string> starts, expected;
  for (int i = 0; i < 24; ++i)
    expected.push_back("ItemBar 0/" + std::to_string(fs::file_size(site_ / Wide("file_" + std::to_string(i) + ".zip"))));
  std::int64_t last_run = -1;
  for (const std::string& c : calls_) {
    if (c.starts_with("ItemBar 0/") && c != "ItemBar 0/0") starts.push_back(c);
    if (c.starts_with("RunBar ") && c != "RunBar 0/0" && c != "RunBar 100/100") {
      const std::int64_t pos = std::stoll(c.substr(7, c.find('/') - 7));
      EXPECT_GE(pos, last_run) << c;
      last_run = pos;
    }
  }
  EXPECT_EQ(starts, expected);
  EXPECT_EQ(run_->Totals().done_bytes, run_->Totals().total_bytes);
}

// One archive named by two sections is fetched once per section, never by
// two downloads at once.
TEST_F(UpdateRunTest, AnArchiveListedTwiceIsFetchedSafely) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  std::string m = ManifestText();
  const std::size_t at = m.find("GrobalName=file_1.zip");
  ASSERT_NE(at, std::string::npos);
  // File_1 (data\地图\b.dat) now names File_0's archive, which does not
  // hold its file: it fails alone, File_0 still lands.
  m.replace(at, 21, "GrobalName=file_0.zip");
  SetManifestText(m);
  RunTo(manifest_url());
  EXPECT_EQ(Read(launcher_dir_ / L"data" / L"a.dat"), "a v2");
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.back(), "Status 更新失败：file_0.zip（文件校验失败）");
}

TEST_F(UpdateRunTest, PatchFolderThatCannotBeCreatedLeavesItsText) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "old"}});
  Write(launcher_dir_ / L"Patch", "a file where the folder should be");
  RunTo(manifest_url());
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.back(), "Status 更新失败，无法创建目录 Patch");
  EXPECT_FALSE(Has(calls_, "Transparent"));
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.inf"), "old");
}

TEST_F(UpdateRunTest, ClosingDuringALargeDownloadEndsPromptly) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  // File_0 comes from the odd server's slow item: 50 MB in 8 KiB pieces.
  EditManifest("UpdateUrl", Env("LK_ODD_URL") + "slow/50000000/");
  EditManifest("Count", "1");
  Start(manifest_url());
  // Wait until the transfer shows progress.
  const auto end = std::chrono::steady_clock::now() + 30s;
  bool receiving = false;
  while (!receiving && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(50ms);
    for (const std::string& c : Calls())
      if (c.starts_with("Status 已下载")) receiving = true;
  }
  ASSERT_TRUE(receiving) << ::testing::PrintToString(Calls());
  const auto before = std::chrono::steady_clock::now();
  ui_.dispatcher().Invoke([&] { run_->CancelAndWait(10s); });
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, 5s);
  EXPECT_TRUE(run_->Finished());
  const std::size_t seen = Calls().size();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Calls().size(), seen);  // nothing reaches the window any more
  EXPECT_FALSE(Has(Calls(), "Status 更新完成。"));
  // No item, whole or half, and no temporary file is left.
  EXPECT_EQ(Tree(launcher_dir_ / L"Patch"), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"data" / L"a.dat"));
}

// The launcher differs: the run writes the embedded patcher beside it and
// starts it; the patcher (5 s + 3 s by design) unpacks the new launcher and
// starts it. The new launcher is fakeclient.exe, which records its start.
TEST_F(UpdateRunTest, LauncherArchiveHandsOverToThePatcher) {
  const std::string fake = Read(fs::path(Wide(Env("LK_FAKECLIENT"))));
  ASSERT_FALSE(fake.empty());
  Publish({{"launcher.exe", fake}, {"top.txt", "top v2"}});
  Local({{"launcher.exe", "the old launcher"}, {"top.txt", "top v1"}});
  const fs::path record = launcher_dir_ / L"started.rec";
  SetEnvironmentVariableW(L"LK_FAKECLIENT_RECORD", record.c_str());
  RunTo(manifest_url());
  SetEnvironmentVariableW(L"LK_FAKECLIENT_RECORD", nullptr);
  EXPECT_TRUE(EndsWithFinalDisplay(calls_));
  // The file item is unpacked in the run; the launcher archive waits in
  // the Patch folder for the patcher, which is the built one.
  EXPECT_EQ(Read(launcher_dir_ / L"top.txt"), "top v2");
  EXPECT_TRUE(fs::exists(launcher_dir_ / L"Patch" / L"launcher.zip"));
  EXPECT_EQ(Read(launcher_dir_ / L"patcher.exe"), Read(fs::path(Wide(Env("LK_PATCHER")))));

  const auto end = std::chrono::steady_clock::now() + 40s;
  while (!fs::exists(record) && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(fs::exists(record)) << "the new launcher was not started";
  EXPECT_EQ(Read(launcher_dir_ / L"launcher.exe"), fake);
  // The patcher removes the emptied Patch folder after starting it.
  const auto end2 = std::chrono::steady_clock::now() + 10s;
  while (fs::exists(launcher_dir_ / L"Patch") && std::chrono::steady_clock::now() < end2)
    std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(fs::exists(launcher_dir_ / L"Patch"));
  EXPECT_EQ(KillProcessByName("launcher.exe", U8(launcher_dir_)), 1);
}

// The window gives the run no time at all and releases its dispatcher at
// once: the worker, still ending its transfer, must not reach it.
TEST_F(UpdateRunTest, ClosingWithoutWaitingNeverReachesTheReleasedWindow) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v2"}, {"launcher.inf", "[Server]\r\nzone=new\r\n"}});
  EditManifest("UpdateUrl", Env("LK_ODD_URL") + "slow/50000000/");
  EditManifest("Count", "1");
  Start(manifest_url());
  const auto end = std::chrono::steady_clock::now() + 30s;
  bool receiving = false;
  while (!receiving && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(50ms);
    for (const std::string& c : Calls())
      if (c.starts_with("Status 已下载")) receiving = true;
  }
  ASSERT_TRUE(receiving);
  std::size_t seen = 0;
  ui_.dispatcher().Invoke([&] {
    run_->CancelAndWait(0ms);
    seen = host_.calls.size();
  });
  ui_.Stop();  // the dispatcher and its window are gone
  ui_stopped_ = true;
  const auto end2 = std::chrono::steady_clock::now() + 10s;
  while (!run_->Finished() && std::chrono::steady_clock::now() < end2) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(run_->Finished());
  EXPECT_EQ(host_.calls.size(), seen);
  EXPECT_EQ(Tree(launcher_dir_ / L"Patch"), std::vector<std::string>{});
}

TEST_F(UpdateRunTest, ClosingWhileTheQuestionWaitsNeverAsks) {
  Publish(kRelease);
  Local({{"launcher.exe", "launcher v1"}});
  // The UI thread is busy (as in a long paint) when the question comes; the
  // window closes before it gets to it.
  std::atomic<bool> release{false};
  ui_.dispatcher().Post([&] {
    while (!release.load()) Sleep(10);
    run_->CancelAndWait(5s);
  });
  Start(manifest_url());
  std::this_thread::sleep_for(1500ms);  // the worker now waits for the UI thread
  release = true;
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (!run_->Finished() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(run_->Finished());
  EXPECT_EQ(Calls(), std::vector<std::string>{});
}

}  // namespace
}  // namespace lk
