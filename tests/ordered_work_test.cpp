#include "ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// A run of |items| items on |workers| workers, where item i sleeps
// |sleepMicros(i)|, fails when i is odd, and may start once startAfter(i)
// items are released; records what each callback saw.
struct Recorded {
  std::vector<std::size_t> released;         // item order of release
  std::vector<std::string> errors;           // as released
  std::vector<std::size_t> releasedAtStart;  // per item
  std::set<unsigned> workersSeen;
  std::size_t mostAtOnce = 0;
};

Recorded runRecorded(std::size_t items, unsigned workers,
                     const std::function<int(std::size_t)>& sleepMicros,
                     const std::function<std::size_t(std::size_t)>& after,
                     const std::function<bool(std::size_t)>& together = {}) {
  Recorded r;
  r.releasedAtStart.assign(items, 0);
  std::mutex mutex;
  std::atomic<std::size_t> releasedCount{0}, running{0};
  std::vector<std::size_t> afterSeen;
  OrderedWork work;
  work.items = items;
  work.workers = workers;
  if (after)
    work.startAfter = [&](std::size_t i) {
      EXPECT_EQ(i, afterSeen.size()) << "startAfter out of order";
      afterSeen.push_back(i);
      return after(i);
    };
  work.together = together;
  work.work = [&](unsigned worker, std::size_t i, ItemOutcome* outcome) {
    const std::size_t now = ++running;
    r.releasedAtStart[i] = releasedCount;
    {
      std::lock_guard<std::mutex> lock(mutex);
      r.workersSeen.insert(worker);
      r.mostAtOnce = std::max(r.mostAtOnce, now);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(sleepMicros(i)));
    outcome->done = i % 2 == 0;
    if (!outcome->done) outcome->error = "item " + std::to_string(i);
    --running;
  };
  work.release = [&](std::size_t i, const ItemOutcome& outcome) {
    r.released.push_back(i);
    r.errors.push_back(outcome.error);
    EXPECT_EQ(outcome.done, i % 2 == 0);
    ++releasedCount;
  };
  runOrdered(work);
  return r;
}

void expectAllInOrder(const Recorded& r, std::size_t items) {
  ASSERT_EQ(r.released.size(), items);
  for (std::size_t i = 0; i < items; ++i) {
    EXPECT_EQ(r.released[i], i);
    EXPECT_EQ(r.errors[i], i % 2 == 0 ? "" : "item " + std::to_string(i));
  }
}

TEST(OrderedWork, OutcomesAreReleasedOnceEachInItemOrderWhateverTheWorkers) {
  const auto uneven = [](std::size_t i) {
    return static_cast<int>((i * 7919) % 13) * 50;
  };
  for (unsigned workers : {1u, 2u, 8u}) {
    SCOPED_TRACE(workers);
    const Recorded r = runRecorded(300, workers, uneven, {});
    expectAllInOrder(r, 300);
    EXPECT_LE(r.workersSeen.size(), workers);
    if (workers == 1) {
      EXPECT_EQ(r.mostAtOnce, 1u);
    }
  }
  // More workers than items, and no item at all.
  expectAllInOrder(runRecorded(3, 16, uneven, {}), 3);
  expectAllInOrder(runRecorded(0, 4, uneven, {}), 0);
}

TEST(OrderedWork, AnItemStartsOnlyOnceTheItemsItWaitsForAreReleased) {
  // Item i waits for every item up to i - 3 (from item 3 on); every tenth
  // item waits for all before it.
  const auto after = [](std::size_t i) {
    if (i % 10 == 0) return i;
    return i >= 3 ? i - 2 : std::size_t{0};
  };
  const Recorded r = runRecorded(
      200, 4, [](std::size_t i) { return (i % 3) * 100; }, after);
  expectAllInOrder(r, 200);
  for (std::size_t i = 0; i < 200; ++i)
    EXPECT_GE(r.releasedAtStart[i], after(i)) << "item " << i;
}

TEST(OrderedWork, ALongFirstItemHoldsBackReleaseButNotWork) {
  // While item 0 runs, the other workers go on with the rest, beyond the
  // window of outcomes held for release; release waits for item 0.
  const Recorded r = runRecorded(
      6000, 3, [](std::size_t i) { return i == 0 ? 300000 : 0; }, {});
  expectAllInOrder(r, 6000);
  EXPECT_GE(r.mostAtOnce, 2u);
  EXPECT_EQ(r.releasedAtStart[1], 0u);
}

TEST(OrderedWork, ItemsThatGoTogetherAreWorkedOnByOneWorkerInOrder) {
  // Runs of ten items go together: within a run, no two items are ever
  // worked on at once.
  std::vector<unsigned> workerOf(100, 99);
  std::mutex mutex;
  OrderedWork work;
  work.items = 100;
  work.workers = 4;
  work.together = [](std::size_t i) { return i % 10 != 0; };
  work.work = [&](unsigned worker, std::size_t i, ItemOutcome* outcome) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::lock_guard<std::mutex> lock(mutex);
    workerOf[i] = worker;
    outcome->done = true;
  };
  std::size_t released = 0;
  work.release = [&](std::size_t i, const ItemOutcome&) {
    EXPECT_EQ(i, released++);
  };
  runOrdered(work);
  EXPECT_EQ(released, 100u);
  for (std::size_t i = 0; i < 100; ++i)
    EXPECT_EQ(workerOf[i], workerOf[i / 10 * 10]) << "item " << i;
}

}  // namespace
