#pragma once
// The zone status probe: how long a TCP connection to a login server takes.
#include <cstdint>
#include <string>

namespace lk {

// The longest a connect may take once the name is resolved; resolution comes
// on top of it.
inline constexpr int kProbeConnectTimeoutMs = 2000;

// Opens a TCP connection to host (a name or an address) and port and closes
// it again without sending or reading a byte. Returns the time from the start
// of name resolution to the established connection in whole milliseconds,
// measured with a monotonic clock (a change of the system clock during a
// probe cannot make the time negative or absurd), or -1 when no connection
// was made: refused, unreachable, not resolved, or not established within
// kProbeConnectTimeoutMs. Blocks the calling thread; run it off the UI thread.
std::int32_t TestServerConnection(const std::string& host, std::uint16_t port);

}  // namespace lk
