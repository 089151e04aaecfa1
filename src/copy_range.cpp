#include "copy_range.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

std::string systemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}


bool copyBuffered(int in, off_t start, std::uint64_t size, int out,
                  std::string* error) {
  // One buffer per thread: extractions may run on several at once.
  thread_local std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
  while (size > 0) {
    const std::size_t want =
        size < kBufferBytes ? static_cast<std::size_t>(size) : kBufferBytes;
    const ssize_t got = ::pread(in, buffer.get(), want, start);
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = systemError("read failed");
      return false;
    }
    if (got == 0) {
      *error = "the archive ended before the entry's last byte";
      return false;
    }
    if (!writeAll(out, buffer.get(), static_cast<std::size_t>(got), error))
      return false;
    start += got;
    size -= static_cast<std::uint64_t>(got);
  }
  return true;
}

// Errors by which the kernel refuses a file-to-file copy between these two
// files (other file systems, special files, old kernels), rather than
// reporting a failed read or write.
bool copyRefused(int err) {
  return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP ||
         err == EPERM || err == ETXTBSY;
}

}  // namespace

bool copyRange(int in, std::int64_t start, std::uint64_t size, int out,
               std::string* error) {
  off_t position = static_cast<off_t>(start);
  while (size > 0) {
    const std::size_t want = size < (std::uint64_t{1} << 30)
                                 ? static_cast<std::size_t>(size)
                                 : std::size_t{1} << 30;
    const ssize_t moved =
        ::copy_file_range(in, &position, out, nullptr, want, 0);
    if (moved < 0) {
      if (errno == EINTR) continue;
      if (copyRefused(errno)) return copyBuffered(in, position, size, out, error);
      *error = systemError("copy failed");
      return false;
    }
    if (moved == 0) {
      *error = "the archive ended before the entry's last byte";
      return false;
    }
    size -= static_cast<std::uint64_t>(moved);
  }
  return true;
}

bool writeAll(int out, const char* data, std::size_t n, std::string* error) {
  while (n > 0) {
    const ssize_t put = ::write(out, data, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      *error = systemError("write failed");
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}
