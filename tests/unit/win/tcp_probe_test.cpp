// The zone probe against real listeners on 127.0.0.1 (Winsock under Wine).
#include "platform/tcp_probe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

namespace lk {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

class Winsock : public ::testing::Environment {
 public:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};
[[maybe_unused]] const auto* const kWinsock = ::testing::AddGlobalTestEnvironment(new Winsock);

struct OwnedSocket {
  SOCKET s = INVALID_SOCKET;
  OwnedSocket() = default;
  explicit OwnedSocket(SOCKET v) : s(v) {}
  OwnedSocket(OwnedSocket&& o) noexcept : s(o.s) { o.s = INVALID_SOCKET; }
  OwnedSocket& operator=(OwnedSocket&& o) noexcept {
    std::swap(s, o.s);
    return *this;
  }
  ~OwnedSocket() {
    if (s != INVALID_SOCKET) closesocket(s);
  }
};

// A socket bound to 127.0.0.1 on a free port; listening when backlog >= 0.
struct Listener {
  OwnedSocket sock;
  std::uint16_t port = 0;

  explicit Listener(int backlog) : sock(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(sock.s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    int len = sizeof a;
    EXPECT_EQ(getsockname(sock.s, reinterpret_cast<sockaddr*>(&a), &len), 0);
    port = ntohs(a.sin_port);
    if (backlog >= 0) {
      EXPECT_EQ(listen(sock.s, backlog), 0);
    }
  }
};

// A port on which nothing listens: bound once to learn a free number, then
// closed again.
std::uint16_t ClosedPort() {
  Listener l(-1);
  return l.port;
}

// Starts a non-blocking connect and reports whether it completes within ms.
bool ConnectsWithin(OwnedSocket& s, std::uint16_t port, int ms) {
  s = OwnedSocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  u_long nb = 1;
  ioctlsocket(s.s, FIONBIO, &nb);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (connect(s.s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
  fd_set w, e;
  FD_ZERO(&w);
  FD_ZERO(&e);
  FD_SET(s.s, &w);
  FD_SET(s.s, &e);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return select(0, nullptr, &w, &e, &tv) == 1 && FD_ISSET(s.s, &w);
}

TEST(TcpProbe, AcceptingListenerGivesSmallNonNegativeTime) {
  Listener l(16);
  for (const char* host : {"127.0.0.1", "localhost"}) {
    const auto t0 = Clock::now();
    const std::int32_t ms = TestServerConnection(host, l.port);
    const long long outside = MsSince(t0);
    std::printf("[ measured ] accepting listener via %s: %d ms (call took %lld ms)\n", host, ms, outside);
    EXPECT_GE(ms, 0) << host;
    EXPECT_LT(ms, 500) << host;
    // The probe's own figure cannot exceed the time the call took.
    EXPECT_LE(ms, outside) << host;
  }
}

TEST(TcpProbe, SendsNoByte) {
  Listener l(4);
  ASSERT_GE(TestServerConnection("127.0.0.1", l.port), 0);
  OwnedSocket peer(accept(l.sock.s, nullptr, nullptr));
  ASSERT_NE(peer.s, INVALID_SOCKET);
  // The probe has closed its side: the first read sees the orderly end,
  // not data.
  char buf[16];
  DWORD timeout = 2000;
  setsockopt(peer.s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  EXPECT_EQ(recv(peer.s, buf, sizeof buf, 0), 0);
}

TEST(TcpProbe, ClosedPortFails) { EXPECT_EQ(TestServerConnection("127.0.0.1", ClosedPort()), -1); }

TEST(TcpProbe, BoundButNotListeningFails) {
  Listener l(-1);
  EXPECT_EQ(TestServerConnection("127.0.0.1", l.port), -1);
}

TEST(TcpProbe, PortZeroAndEmptyHostFail) {
  Listener l(4);
  EXPECT_EQ(TestServerConnection("127.0.0.1", 0), -1);
  EXPECT_EQ(TestServerConnection("", l.port), -1);
}

TEST(TcpProbe, UnresolvableNameFails) {
  const auto t0 = Clock::now();
  EXPECT_EQ(TestServerConnection("no-such-zone.invalid", 7000), -1);
  std::printf("[ measured ] unresolvable name: -1 after %lld ms\n", MsSince(t0));
}

TEST(TcpProbe, ListenerThatNeverAcceptsTimesOutAfterTwoSeconds) {
  Listener l(0);
  // Fill the backlog: connect until a connect no longer completes, which
  // means the system now drops the listener's incoming handshakes.
  std::vector<OwnedSocket> fillers;
  bool full = false;
  for (int i = 0; i < 64 && !full; ++i) {
    fillers.emplace_back();
    full = !ConnectsWithin(fillers.back(), l.port, 300);
  }
  ASSERT_TRUE(full) << "the backlog never filled";

  const auto t0 = Clock::now();
  const std::int32_t ms = TestServerConnection("127.0.0.1", l.port);
  const long long took = MsSince(t0);
  std::printf("[ measured ] never-accepting listener (%zu fillers): -1 after %lld ms\n", fillers.size(),
              took);
  EXPECT_EQ(ms, -1);
  EXPECT_GE(took, kProbeConnectTimeoutMs - 20);
  EXPECT_LT(took, kProbeConnectTimeoutMs + 500);
}

}  // namespace
}  // namespace lk
