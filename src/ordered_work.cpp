#include "ordered_work.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// How far the items taken may run ahead of the first one not yet released.
// Outcomes waiting for release are kept in as many slots; a long item holds
// back at most this many short ones behind it.
constexpr std::size_t kWindow = 4096;
// The most items a worker takes at once: enough for a folder's files, few
// enough that the other workers are not left idle at the end of a run.
constexpr std::size_t kMaxBatch = 256;

class Runner {
 public:
  explicit Runner(const OrderedWork& work)
      : work_(work), slots_(std::min(work.items, kWindow)) {}

  void workerLoop(unsigned worker) {
    std::vector<std::size_t> afters;
    std::unique_lock<std::mutex> lock(mutex_);
    while (next_ < work_.items) {
      if (next_ >= released_ + slots_.size()) {
        wait(lock);
        continue;
      }
      const std::size_t first = next_;
      const std::size_t limit =
          std::min({work_.items, released_ + slots_.size(), first + kMaxBatch});
      // Items are taken in order under the lock, so startAfter sees them in
      // order, as it requires.
      afters.clear();
      do {
        afters.push_back(work_.startAfter ? work_.startAfter(next_) : 0);
        ++next_;
      } while (next_ < limit && work_.together && work_.together(next_));
      for (std::size_t k = 0; k < afters.size(); ++k) {
        while (released_ < afters[k]) wait(lock);
        lock.unlock();
        ItemOutcome outcome;
        work_.work(worker, first + k, &outcome);
        lock.lock();
        Slot& slot = slots_[(first + k) % slots_.size()];
        slot.outcome = std::move(outcome);
        slot.finished = true;
        releaseFinished();
      }
    }
  }

 private:
  struct Slot {
    bool finished = false;
    ItemOutcome outcome;
  };

  void wait(std::unique_lock<std::mutex>& lock) {
    ++waiting_;
    changed_.wait(lock);
    --waiting_;
  }

  // Hands over every finished outcome that no unfinished item precedes.
  void releaseFinished() {
    const std::size_t before = released_;
    while (released_ < work_.items) {
      Slot& slot = slots_[released_ % slots_.size()];
      if (!slot.finished) break;
      work_.release(released_, slot.outcome);
      slot = Slot();
      ++released_;
    }
    // Waking costs a system call per item; most of the time no one waits.
    if (released_ != before && waiting_ > 0) changed_.notify_all();
  }

  const OrderedWork& work_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;      // the next item to take
  std::size_t released_ = 0;  // items whose outcomes were handed over
  unsigned waiting_ = 0;
};

}  // namespace

void runOrdered(const OrderedWork& work) {
  if (work.items == 0) return;
  Runner runner(work);
  const std::size_t workers =
      std::max<std::size_t>(1, std::min<std::size_t>(work.workers, work.items));
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (unsigned w = 1; w < workers; ++w) {
    try {
      threads.emplace_back([&runner, w] { runner.workerLoop(w); });
    } catch (const std::system_error&) {
      break;  // the threads already made, and this one, do the work
    }
  }
  runner.workerLoop(0);
  for (std::thread& thread : threads) thread.join();
}
