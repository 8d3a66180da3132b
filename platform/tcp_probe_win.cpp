#include "platform/tcp_probe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

#include "platform/handles.h"
#include "platform/text.h"

namespace lk {
namespace {

class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (ok_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

struct CloseSocketFn {
  void operator()(SOCKET s) const { closesocket(s); }
};
using UniqueSocket = UniqueAny<SOCKET, CloseSocketFn, INVALID_SOCKET>;

struct FreeAddrInfoFn {
  void operator()(ADDRINFOW* list) const { FreeAddrInfoW(list); }
};
using UniqueAddrInfo = UniqueAny<ADDRINFOW*, FreeAddrInfoFn>;

using Clock = std::chrono::steady_clock;

// Connects one socket to one address, waiting at most until deadline. The
// socket is closed on return, with nothing sent or read.
bool ConnectBefore(const ADDRINFOW& addr, Clock::time_point deadline) {
  const UniqueSocket s(socket(addr.ai_family, addr.ai_socktype, addr.ai_protocol));
  if (!s) return false;
  u_long nonBlocking = 1;
  if (ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0) return false;
  if (connect(s.get(), addr.ai_addr, static_cast<int>(addr.ai_addrlen)) == 0) return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return false;

  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    timeval tv;
    tv.tv_sec = static_cast<long>(left.count() / 1000000);
    tv.tv_usec = static_cast<long>(left.count() % 1000000);
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s.get(), &writable);
    FD_SET(s.get(), &failed);
    const int n = select(0, nullptr, &writable, &failed, &tv);
    if (n == SOCKET_ERROR) return false;
    if (n == 0) continue;  // re-check the deadline; select may wake early
    // Windows reports a failed non-blocking connect in the exception set.
    if (FD_ISSET(s.get(), &failed)) return false;
    int error = 0;
    int len = sizeof(error);
    if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0) return false;
    return error == 0;
  }
}

}  // namespace

std::int32_t TestServerConnection(const std::string& host, std::uint16_t port) {
  // An empty name would resolve to the local machine's own addresses.
  if (host.empty()) return -1;
  WinsockSession winsock;
  if (!winsock.ok()) return -1;

  const auto t0 = Clock::now();
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  UniqueAddrInfo found;
  const std::wstring service = std::to_wstring(port);
  if (GetAddrInfoW(Wide(host).c_str(), service.c_str(), &hints, found.put()) != 0 || !found) return -1;

  // One connect budget for all addresses of the name, counted from the end of
  // resolution: the connect is bounded, resolution comes on top.
  const auto deadline = Clock::now() + std::chrono::milliseconds(kProbeConnectTimeoutMs);
  for (const ADDRINFOW* a = found.get(); a; a = a->ai_next) {
    if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
    if (ConnectBefore(*a, deadline)) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
      return static_cast<std::int32_t>(ms.count());
    }
    if (Clock::now() >= deadline) break;
  }
  return -1;
}

}  // namespace lk
