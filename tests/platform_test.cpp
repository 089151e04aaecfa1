// The rules of the platform layer that every system shares.
#include "platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace {

extern "C" void onStop(int) {}

using Handler = void (*)(int);

// Sets |sig|'s action to |action| and returns the one it had.
Handler swap(int sig, Handler action) { return std::signal(sig, action); }

TEST(StopSignals, ARequestIgnoredFromTheStartStaysIgnored) {
  // As under nohup: the first stop request is ignored, the others are not.
  const std::vector<int> stops = platform::stopSignals();
  ASSERT_GE(stops.size(), 2u);
  std::vector<Handler> before;
  for (const int sig : stops) before.push_back(swap(sig, SIG_DFL));
  swap(stops[0], SIG_IGN);

  platform::catchStopSignals(onStop);
  EXPECT_EQ(swap(stops[0], SIG_IGN), SIG_IGN);
  for (std::size_t i = 1; i < stops.size(); ++i)
    EXPECT_EQ(swap(stops[i], onStop), onStop) << stops[i];

  platform::releaseStopSignals();
  EXPECT_EQ(swap(stops[0], SIG_IGN), SIG_IGN);
  for (std::size_t i = 1; i < stops.size(); ++i)
    EXPECT_EQ(swap(stops[i], SIG_DFL), SIG_DFL) << stops[i];

  for (std::size_t i = 0; i < stops.size(); ++i) swap(stops[i], before[i]);
}

}  // namespace
