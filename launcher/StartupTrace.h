#pragma once
// Start-up timing, for finding where the time to the first visible window
// goes. Off in every normal build: the calls compile to nothing. A build
// configured with -DLK_STARTUP_TRACE=ON records the performance counter at
// each mark and, at the last one, appends one line per mark ("what",
// milliseconds since the process was created, milliseconds since the mark
// before) to the file named by the environment variable
// LK_STARTUP_TRACE_FILE. docs/DEVELOPING.md ("Start-up time") has the
// measured table and the commands.
#ifdef LK_STARTUP_TRACE
#include <windows.h>

#include <cstdio>
#include <vector>
#endif

namespace lk {

#ifdef LK_STARTUP_TRACE
namespace startup_trace {

struct Mark {
  const char* what;
  LARGE_INTEGER at;
};

inline std::vector<Mark>& Marks() {
  static std::vector<Mark> marks = [] {
    std::vector<Mark> m;
    m.reserve(64);
    return m;
  }();
  return marks;
}

// Milliseconds from the process's creation to now, by the system clock.
inline double AliveMs() {
  FILETIME created, exited, kernel, user, system;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  GetSystemTimePreciseAsFileTime(&system);
  const auto value = [](const FILETIME& f) {
    return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
  };
  return (value(system) - value(created)) / 10000.0;
}

}  // namespace startup_trace

inline void TraceStartup(const char* what) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  startup_trace::Marks().push_back({what, now});
}

// Writes the marks so far and forgets them.
inline void WriteStartupTrace() {
  using namespace startup_trace;
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  const double ticksPerMs = static_cast<double>(freq.QuadPart) / 1000.0;
  // Every mark is given as time since the process was created.
  const double aliveMs = AliveMs();
  wchar_t path[MAX_PATH];
  if (!GetEnvironmentVariableW(L"LK_STARTUP_TRACE_FILE", path, MAX_PATH)) return;
  FILE* out = _wfopen(path, L"a");
  if (!out) return;
  double before = 0;
  for (const Mark& m : Marks()) {
    const double at = aliveMs - static_cast<double>(now.QuadPart - m.at.QuadPart) / ticksPerMs;
    std::fprintf(out, "%s\t%.2f\t%.2f\n", m.what, at, at - before);
    before = at;
  }
  std::fprintf(out, "end\t\t\n");
  std::fclose(out);
  Marks().clear();
}
#else
inline void TraceStartup(const char*) {}
inline void WriteStartupTrace() {}
#endif

}  // namespace lk
