// The milliseconds a wait is given until a deadline: never less than is left (a
// wait that ends early makes the caller poll again with nothing to wait for), 0 only
// once the deadline has come.
#include <gtest/gtest.h>

#include <climits>

#include "platform/Deadline.h"

TEST(Deadline, MillisecondsRoundUpAndStopAtZero) {
  using std::chrono::hours;
  using std::chrono::microseconds;
  using std::chrono::milliseconds;
  const std::tuple<const char*, SteadyClock::duration, int> cases[] = {
      {"passed long ago", -milliseconds(5000), 0},
      {"just passed", -microseconds(1), 0},
      {"exactly now", SteadyClock::duration::zero(), 0},
      {"a fraction of a millisecond", microseconds(1), 1},
      {"just under one", microseconds(999), 1},
      {"exactly one", milliseconds(1), 1},
      {"just over one", microseconds(1001), 2},
      {"whole milliseconds stay as they are", milliseconds(250), 250},
      {"more than an int holds", hours(24 * 365 * 100), INT_MAX},
  };
  const SteadyClock::time_point now = SteadyClock::now();
  for (const auto& [pszWhat, left, nExpected] : cases)
    EXPECT_EQ(MillisecondsBetween(now, now + left), nExpected) << pszWhat;
}
