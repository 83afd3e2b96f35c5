#include "platform/Deadline.h"

#include <climits>

int MillisecondsBetween(SteadyClock::time_point now, SteadyClock::time_point deadline) {
  if (deadline <= now)
    return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return left >= INT_MAX ? INT_MAX : static_cast<int>(left);
}

int MillisecondsUntil(SteadyClock::time_point deadline) {
  return MillisecondsBetween(SteadyClock::now(), deadline);
}
