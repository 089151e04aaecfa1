#include "copy_range.h"

#include <atomic>
#include <memory>

#include "platform.h"

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;
// What the kernel is asked to copy at once: small enough that an observer
// hears of a long copy several times a second, large enough that the calls
// cost nothing beside the bytes.
constexpr std::size_t kKernelCopyBytes = std::size_t{64} << 20;

// Set before the copies it observes start, read by every copying thread.
std::atomic<CopyObserver*> observer{nullptr};

void tell(std::uint64_t bytes) {
  if (CopyObserver* const o = observer.load()) o->written(bytes);
}

std::string systemError(const char* what) {
  return std::string(what) + ": " + platform::lastErrorText();
}

bool copyBuffered(int in, std::int64_t start, std::uint64_t size, int out,
                  std::string* error) {
  // One buffer per thread: extractions may run on several at once.
  thread_local std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
  while (size > 0) {
    const std::size_t want =
        size < kBufferBytes ? static_cast<std::size_t>(size) : kBufferBytes;
    const std::int64_t got = platform::readAt(in, buffer.get(), want, start);
    if (got < 0) {
      *error = systemError("read failed");
      return false;
    }
    if (got == 0) {
      *error = "the archive ended before the entry's last byte";
      return false;
    }
    if (!writeAll(out, buffer.get(), static_cast<std::size_t>(got), error))
      return false;
    tell(static_cast<std::uint64_t>(got));
    start += got;
    size -= static_cast<std::uint64_t>(got);
  }
  return true;
}

}  // namespace

bool copyRange(int in, std::int64_t start, std::uint64_t size, int out,
               std::string* error) {
  std::int64_t position = start;
  while (size > 0) {
    const std::size_t want = size < kKernelCopyBytes
                                 ? static_cast<std::size_t>(size)
                                 : kKernelCopyBytes;
    bool refused;
    const std::int64_t moved =
        platform::copyBetweenFiles(in, &position, out, want, &refused);
    if (moved < 0) {
      if (refused) return copyBuffered(in, position, size, out, error);
      *error = systemError("copy failed");
      return false;
    }
    if (moved == 0) {
      *error = "the archive ended before the entry's last byte";
      return false;
    }
    size -= static_cast<std::uint64_t>(moved);
    tell(static_cast<std::uint64_t>(moved));
  }
  return true;
}

void observeCopies(CopyObserver* newObserver) { observer = newObserver; }

bool writeAll(int out, const char* data, std::size_t n, std::string* error) {
  while (n > 0) {
    const std::int64_t put = platform::writeSome(out, data, n);
    if (put < 0) {
      *error = systemError("write failed");
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}
