// The zone probe against the truth, inside Wine:
//   bench_probe.exe <port> <runs>
//     for each run: TestServerConnection(127.0.0.1, port) and, right after,
//     a plain blocking connect to the same listener timed with the
//     performance counter. Prints "probe=<ms,...> raw=<ms,...>".
//   bench_probe.exe timeout <port> <runs>
//     probes a listener that never accepts; prints "timeout=<ms,...>" with
//     the wall time each probe took (its result must be -1).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/tcp_probe.h"

namespace {

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double RawConnect(std::uint16_t port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  const double t0 = Now();
  const int r = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  const double t1 = Now();
  closesocket(s);
  return r == 0 ? t1 - t0 : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  if (argc == 4 && wcscmp(argv[1], L"timeout") == 0) {
    const auto port = static_cast<std::uint16_t>(_wtoi(argv[2]));
    std::printf("timeout=");
    for (int i = 0, n = _wtoi(argv[3]); i < n; ++i) {
      const double t0 = Now();
      const int r = lk::TestServerConnection("127.0.0.1", port);
      std::printf(i ? ",%.1f" : "%.1f", r == -1 ? Now() - t0 : -1.0);
    }
    std::printf("\n");
    return 0;
  }
  if (argc != 3) {
    std::fputs("usage: bench_probe <port> <runs> | timeout <port> <runs>\n", stderr);
    return 2;
  }
  const auto port = static_cast<std::uint16_t>(_wtoi(argv[1]));
  const int runs = _wtoi(argv[2]);
  std::string probe, raw;
  for (int i = 0; i < runs; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, i ? ",%d" : "%d", lk::TestServerConnection("127.0.0.1", port));
    probe += buf;
    std::snprintf(buf, sizeof buf, i ? ",%.2f" : "%.2f", RawConnect(port));
    raw += buf;
  }
  std::printf("probe=%s raw=%s\n", probe.c_str(), raw.c_str());
  return 0;
}
