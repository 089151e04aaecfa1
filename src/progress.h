// A progress bar on standard error, for runs long enough to need one.
#ifndef EXTRACTGAMEFILE_PROGRESS_H_
#define EXTRACTGAMEFILE_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>

class ProgressBar {
 public:
  // A bar for |totalFiles| files of |totalBytes| bytes in all. It draws only
  // when standard error is a terminal, and only once the run has lasted a
  // second, so short runs and redirected output never see it.
  ProgressBar(std::size_t totalFiles, std::uint64_t totalBytes);
  ~ProgressBar();

  // One more file of |bytes| bytes is done; redraws at most ten times a
  // second.
  void advance(std::uint64_t bytes);

  // Removes the bar from the terminal (it comes back at the next redraw),
  // so that another line can be written in its place.
  void clear();

 private:
  void draw();

  bool enabled_;
  std::size_t totalFiles_;
  std::uint64_t totalBytes_;
  std::size_t doneFiles_ = 0;
  std::uint64_t doneBytes_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

#endif  // EXTRACTGAMEFILE_PROGRESS_H_
