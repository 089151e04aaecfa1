#include "progress.h"

#include <cstdio>
#include <string>

#include "platform.h"

namespace {
constexpr int kBarWidth = 30;
constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
}  // namespace

ProgressBar::ProgressBar(std::size_t totalFiles, std::uint64_t totalBytes)
    : enabled_(platform::standardErrorIsTerminal()),
      totalFiles_(totalFiles),
      totalBytes_(totalBytes),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {
  observeCopies(this);
}

ProgressBar::~ProgressBar() {
  observeCopies(nullptr);
  clear();
}

void ProgressBar::fileDone() {
  ++doneFiles_;
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(drawing_);
  paused_ = false;
  update();
}

void ProgressBar::written(std::uint64_t bytes) {
  doneBytes_ += bytes;
  if (!enabled_) return;
  // A copy never waits for the terminal: when another thread is drawing,
  // this one's bytes show in the next drawing.
  std::unique_lock<std::mutex> lock(drawing_, std::try_to_lock);
  if (lock.owns_lock() && !paused_) update();
}

void ProgressBar::update() {
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < kQuietStart || now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  draw();
}

void ProgressBar::draw() {
  // Bytes measure the work better than files; an archive of empty files
  // has only files to count.
  const double fraction =
      totalBytes_ > 0   ? static_cast<double>(doneBytes_.load()) / totalBytes_
      : totalFiles_ > 0 ? static_cast<double>(doneFiles_.load()) / totalFiles_
                        : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  std::fprintf(stderr, "\rcfsi: [%s] %3d%%  %zu/%zu files", bar.c_str(),
               static_cast<int>(fraction * 100), doneFiles_.load(),
               totalFiles_);
  std::fflush(stderr);
  shown_ = true;
}

void ProgressBar::clear() {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(drawing_);
  paused_ = true;
  if (!shown_) return;
  std::fprintf(stderr, "\r\x1b[K");
  std::fflush(stderr);
  shown_ = false;
}
