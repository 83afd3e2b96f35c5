// Time left until a deadline on the steady clock, as the whole milliseconds that
// poll() and the waits built on it take.
//
// The count is rounded up: a wait of that length never ends before the deadline,
// and a loop that waits again until the deadline never spins on a wait of 0 ms
// while a fraction of a millisecond is left. Once the deadline has come it is 0.
#pragma once

#include <chrono>

using SteadyClock = std::chrono::steady_clock;

// Milliseconds from now until the deadline: 0 when it has passed, at most INT_MAX.
int MillisecondsUntil(SteadyClock::time_point deadline);

// The same from a given moment.
int MillisecondsBetween(SteadyClock::time_point now, SteadyClock::time_point deadline);
