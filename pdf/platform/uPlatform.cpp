#include "uPlatform.h"

#include <chrono>
#include <cstdlib>

namespace platform {

namespace {

TDateTime SystemLocalNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  TDateTime d;
  d.Year = tm.tm_year + 1900;
  d.Month = tm.tm_mon + 1;
  d.Day = tm.tm_mday;
  d.Hour = tm.tm_hour;
  d.Minute = tm.tm_min;
  d.Second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  d.Millisecond = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return d;
}

int32_t SystemUtcOffsetMinutes() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return static_cast<int32_t>(tm.tm_gmtoff / 60);
}

uint64_t SystemTicks() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TClock& CurrentClock() {
  static TClock clock = SystemClock();
  return clock;
}

}  // namespace

TClock SystemClock() { return TClock{SystemLocalNow, SystemUtcOffsetMinutes, SystemTicks}; }

const TClock& Clock() { return CurrentClock(); }

TClock SetClock(TClock clock) {
  TClock system = SystemClock();
  if (!clock.LocalNow) clock.LocalNow = system.LocalNow;
  if (!clock.UtcOffsetMinutes) clock.UtcOffsetMinutes = system.UtcOffsetMinutes;
  if (!clock.TickMilliseconds) clock.TickMilliseconds = system.TickMilliseconds;
  TClock previous = CurrentClock();
  CurrentClock() = std::move(clock);
  return previous;
}

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir && *dir) ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace platform
