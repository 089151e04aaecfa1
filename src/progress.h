// A progress bar on standard error, for runs long enough to need one.
#ifndef EXTRACTGAMEFILE_PROGRESS_H_
#define EXTRACTGAMEFILE_PROGRESS_H_

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "copy_range.h"

// While it exists, it follows every copy (observeCopies), so the bar counts
// the bytes actually written and moves during one long entry. written() may
// be called from any thread; the other calls from one thread only.
class ProgressBar : public CopyObserver {
 public:
  // A bar for |totalFiles| files of |totalBytes| bytes in all. It draws only
  // when standard error is a terminal, and only once the run has lasted a
  // second, so short runs and redirected output never see it.
  ProgressBar(std::size_t totalFiles, std::uint64_t totalBytes);
  ~ProgressBar() override;

  // One more file is done, whether it was written in full or not.
  void fileDone();

  // |bytes| more bytes were written.
  void written(std::uint64_t bytes) override;

  // Removes the bar from the terminal, so that another line can be written
  // in its place; it comes back with the next fileDone().
  void clear();

 private:
  // Redraws at most ten times a second; |drawing_| must be held.
  void update();
  void draw();

  bool enabled_;
  std::size_t totalFiles_;
  std::uint64_t totalBytes_;
  std::atomic<std::size_t> doneFiles_{0};
  std::atomic<std::uint64_t> doneBytes_{0};
  // Held while the bar is drawn or cleared; a thread that finds it taken
  // leaves the drawing to the one that holds it.
  std::mutex drawing_;
  bool shown_ = false;
  bool paused_ = false;  // cleared, and not to be drawn until fileDone()
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

#endif  // EXTRACTGAMEFILE_PROGRESS_H_
