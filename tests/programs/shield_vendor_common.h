#pragma once
// What every test shield library shares: its result comes from the
// environment variable LK_SHIELD_RESULT (a decimal number, 0 when unset), and
// it keeps what it was called with for the test to ask afterwards through
// the exports below.
#include <windows.h>

#include <cstdlib>

namespace shield_test {

inline char g_lastKey[1024];
inline int g_calls = 0;
inline int g_secondArgumentEmpty = -1;

inline int ResultChosenByTest() {
  char buf[32] = {};
  const DWORD n = GetEnvironmentVariableA("LK_SHIELD_RESULT", buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::atoi(buf) : 0;
}

inline void Record(const char* key) {
  ++g_calls;
  lstrcpynA(g_lastKey, key ? key : "(null)", sizeof g_lastKey);
}

}  // namespace shield_test

extern "C" __declspec(dllexport) const char* ShieldTestLastKey() { return shield_test::g_lastKey; }
extern "C" __declspec(dllexport) int ShieldTestCalls() { return shield_test::g_calls; }
extern "C" __declspec(dllexport) int ShieldTestSecondArgumentEmpty() {
  return shield_test::g_secondArgumentEmpty;
}
