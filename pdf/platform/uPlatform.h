#pragma once
// The platform layer: the few things the library needs from the operating system
// (the clock, the temporary folder, files with sharing modes), mapped onto Linux here
// so that the rest of the library stays free of system calls.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace platform {

// A broken-down local date and time (month 1..12, day 1..31, hour 0..23).
struct TDateTime {
  int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The clock seam. Tests install a fixed clock; the default reads the system clock.
struct TClock {
  std::function<TDateTime()> LocalNow;          // current local date and time
  std::function<int32_t()> UtcOffsetMinutes;    // local offset from UTC, east positive (DST included)
  std::function<uint64_t()> TickMilliseconds;   // monotonic millisecond ticks
};

// The clock in use (the system clock unless a test replaced it).
const TClock& Clock();
// Replaces the clock; an empty member keeps the system's one. Returns the previous clock.
TClock SetClock(TClock clock);
// The system clock.
TClock SystemClock();

// The system's temporary folder ($TMPDIR or /tmp), always ending with '/'.
std::string TempFolder();

}  // namespace platform
