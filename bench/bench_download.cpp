// Download benchmark program (Windows, run under Wine by bench_download.py).
//   bench_download item <base_url> <name> <patch_folder>
//       the launcher's own path: UpdateDownloader::DownloadFile with a UI
//       thread receiving every progress callback
//   bench_download client <url> <out_file>
//       lk::HttpClient alone, body streamed to a file, no UI thread
//   bench_download bare <url> <out_file>
//       a bare WinHTTP read loop writing the body to a file: the ceiling
//       of the platform's HTTP service
// Prints one line: "<mode> ms=<elapsed> bytes=<n> peak_working_set=<bytes>
// peak_private=<bytes>".
#include <windows.h>
// after windows.h, which they build on
#include <psapi.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/update_download.h"
#include "platform/text.h"
#include "tests/support/ui_thread_win.h"

namespace {

struct NullDisplay : lk::ProgressDisplay {
  void SetItemBar(lk::BarState) override {}
  void SetRunBar(lk::BarState) override {}
  void SetItemPercent(const std::string&) override {}
  void SetRunPercent(const std::string&) override {}
  void SetSpeed(const std::string&) override {}
  void SetStatus(const std::string&) override {}
};

std::int64_t Bare(const std::wstring& url, const std::wstring& out) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return -1;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
  HINTERNET connect = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
  HINTERNET request = WinHttpOpenRequest(connect, L"GET", path.c_str(), nullptr, nullptr, nullptr, 0);
  std::int64_t total = -1;
  if (request && WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) &&
      WinHttpReceiveResponse(request, nullptr)) {
    HANDLE file =
        CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<char> buf(64 * 1024);
    total = 0;
    for (;;) {
      DWORD n = 0;
      if (!WinHttpReadData(request, buf.data(), static_cast<DWORD>(buf.size()), &n) || n == 0) break;
      DWORD written = 0;
      WriteFile(file, buf.data(), n, &written, nullptr);
      total += n;
    }
    CloseHandle(file);
  }
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connect);
  WinHttpCloseHandle(session);
  return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(
        stderr,
        "usage: bench_download item <base_url> <name> <patch_folder> | client|bare <url> <out_file>\n");
    return 2;
  }
  const std::wstring mode = argv[1];
  const auto t0 = std::chrono::steady_clock::now();
  std::int64_t bytes = -1;
  if (mode == L"item" && argc >= 5) {
    lk::test::UiThread ui;
    NullDisplay display;
    lk::CancelToken cancel;
    lk::UpdateProgress progress(display, [&ui](const std::function<void()>& fn) {
      return ui.dispatcher().Invoke(fn);
    });
    lk::HttpClient client;
    lk::UpdateDownloader downloader(client, cancel, progress, lk::Narrow(argv[4]));
    progress.UpdateStopwatch.Start();
    const std::int64_t size = downloader.GetRemoteFileSize(lk::Narrow(argv[2]), lk::Narrow(argv[3]));
    if (downloader.DownloadFile(lk::Narrow(argv[2]), lk::Narrow(argv[3]), size))
      bytes = static_cast<std::int64_t>(
          std::filesystem::file_size(std::filesystem::path(argv[4]) / std::filesystem::path(argv[3])));
  } else if (mode == L"client") {
    // The HTTP client alone, no UI thread: separates the client's cost from
    // the progress hand-over's.
    struct FileSink : lk::DownloadSink {
      HANDLE file;
      void Add(const std::uint8_t* p, std::size_t n) override {
        DWORD written = 0;
        WriteFile(file, p, static_cast<DWORD>(n), &written, nullptr);
      }
    } sink;
    sink.file =
        CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    lk::HttpClient client;
    auto response = client.Get(lk::Narrow(argv[2]), {});
    const lk::HttpBodyResult body = response.ReadBody(sink, nullptr);
    CloseHandle(sink.file);
    bytes = body.complete ? body.received : -1;
  } else if (mode == L"bare") {
    bytes = Bare(argv[2], argv[3]);
  } else {
    return 2;
  }
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  std::printf("%s ms=%lld bytes=%lld peak_working_set=%llu peak_private=%llu\n", lk::Narrow(mode).c_str(),
              static_cast<long long>(ms), static_cast<long long>(bytes),
              static_cast<unsigned long long>(pmc.PeakWorkingSetSize),
              static_cast<unsigned long long>(pmc.PeakPagefileUsage));
  return bytes >= 0 ? 0 : 1;
}
