// make_bench_data: writes one data set of the benchmark into a folder: the
// archive 00000000.cfsi, under tree/ the folder tree that extractGameFile is
// expected to make from it (tree/extract/...), and in expected_stdout what it
// is expected to print, and in entries the number of entries. The same kind
// and scale always give the same bytes, so runs on different days compare.
//
//   make_bench_data large|small|million|longdir|emptynames SCALE OUTDIR
//
// large:   ~2,000 entries, ~1 GiB, ~80% of the bytes in "dds" entries,
//          in 50 directories.
// small:   ~100,000 entries of 512 to 4,096 bytes, ~70% "dds", in ~1,000
//          directories.
// million: ~1,000,000 entries of 1 to 16 bytes, 1 in 1,000 "dds", in
//          directories of 1,000 entries.
// longdir: 2,000,000 entries "a.dds" of 0 bytes, all under one directory
//          name of 255 bytes: an index of ~28 MB whose every entry is
//          selected and names one path.
// emptynames: 1,000,000 entries with an empty directory and an empty
//          name, of 1 byte each.
// The last two are archives a stranger could send to make a reader hold
// far more than the index's size; for them only the archive and the entry
// count are written (their trees and output are not compared).
// SCALE multiplies the entry counts and byte totals (1 gives the sizes
// above). Entry contents are pseudo-random, so nothing compresses.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "archive_writer.h"

namespace {

// splitmix64: fast, and good enough that the bytes do not compress.
struct Random {
  std::uint64_t state;
  explicit Random(std::uint64_t seed) : state(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform enough in [low, high] for sizes and choices.
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + next() % (high - low + 1);
  }
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "make_bench_data: %s\n", what.c_str());
  std::exit(2);
}

void failSystem(const std::string& what) {
  fail(what + ": " + std::strerror(errno));
}

void writeAll(int fd, const char* data, std::size_t n, const std::string& to) {
  while (n > 0) {
    const ssize_t put = ::write(fd, data, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      failSystem("write to " + to);
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
}

void makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
    failSystem("mkdir " + path);
}

// Makes every level of |relative| (which ends in "/") below |root|.
void makeFolders(const std::string& root, const std::string& relative) {
  for (std::size_t slash = relative.find('/'); slash != std::string::npos;
       slash = relative.find('/', slash + 1))
    makeFolder(root + "/" + relative.substr(0, slash));
}

struct DataSet {
  std::vector<archive::PlannedEntry> entries;
  std::vector<bool> selected;  // the entry's name ends in ".dds"
};

std::size_t scaled(double base, double scale, std::size_t least) {
  const auto n = static_cast<std::size_t>(std::llround(base * scale));
  return n < least ? least : n;
}

char nameBuffer[64];

DataSet large(double scale, Random* random) {
  DataSet set;
  const std::size_t count = scaled(2000, scale, 100);
  const double totalBytes = scale * 1024.0 * 1024.0 * 1024.0;
  // About 3 entries in 4 are "dds"; their sizes are chosen so that they
  // hold about 80% of the bytes.
  const double ddsMean = 0.80 * totalBytes / (0.75 * count);
  const double otherMean = 0.20 * totalBytes / (0.25 * count);
  const std::size_t directories = 50;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t d = i * directories / count;
    const bool dds = random->between(0, 3) != 0;
    const double mean = dds ? ddsMean : otherMean;
    archive::PlannedEntry entry;
    std::snprintf(nameBuffer, sizeof nameBuffer, "art/pack%zu/set%02zu/",
                  d / 10, d % 10);
    entry.directory = nameBuffer;
    std::snprintf(nameBuffer, sizeof nameBuffer, "texture_%05zu.%s", i,
                  dds ? "dds" : "bin");
    entry.name = nameBuffer;
    entry.size = random->between(static_cast<std::uint64_t>(mean / 2),
                                 static_cast<std::uint64_t>(mean * 3 / 2));
    set.entries.push_back(entry);
    set.selected.push_back(dds);
  }
  return set;
}

DataSet small(double scale, Random* random) {
  DataSet set;
  const std::size_t count = scaled(100000, scale, 100);
  const std::size_t directories = scaled(1000, scale, 10);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t d = i * directories / count;
    const bool dds = random->between(0, 9) < 7;
    archive::PlannedEntry entry;
    std::snprintf(nameBuffer, sizeof nameBuffer, "world/zone%02zu/area%03zu/",
                  d / 100, d % 100);
    entry.directory = nameBuffer;
    std::snprintf(nameBuffer, sizeof nameBuffer, "object_%06zu.%s", i,
                  dds ? "dds" : "txt");
    entry.name = nameBuffer;
    entry.size = random->between(512, 4096);
    set.entries.push_back(entry);
    set.selected.push_back(dds);
  }
  return set;
}

DataSet million(double scale, Random* random) {
  DataSet set;
  const std::size_t count = scaled(1000000, scale, 1000);
  for (std::size_t i = 0; i < count; ++i) {
    const bool dds = i % 1000 == 500;
    archive::PlannedEntry entry;
    std::snprintf(nameBuffer, sizeof nameBuffer, "many/dir%04zu/", i / 1000);
    entry.directory = nameBuffer;
    std::snprintf(nameBuffer, sizeof nameBuffer, "entry_%07zu.%s", i,
                  dds ? "dds" : "bin");
    entry.name = nameBuffer;
    entry.size = random->between(1, 16);
    set.entries.push_back(entry);
    set.selected.push_back(dds);
  }
  return set;
}

DataSet longDirectory(double scale) {
  DataSet set;
  const std::size_t count = scaled(2000000, scale, 1000);
  const std::string directory = std::string(254, 'd') + "/";
  for (std::size_t i = 0; i < count; ++i) {
    set.entries.push_back({directory, "a.dds", 0});
    set.selected.push_back(true);
  }
  return set;
}

DataSet emptyNames(double scale) {
  DataSet set;
  const std::size_t count = scaled(1000000, scale, 1000);
  for (std::size_t i = 0; i < count; ++i) {
    set.entries.push_back({"", "", 1});
    set.selected.push_back(false);
  }
  return set;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4)
    fail(
        "usage: make_bench_data large|small|million|longdir|emptynames SCALE "
        "OUTDIR");
  const std::string kind = argv[1];
  const double scale = std::atof(argv[2]);
  const std::string outDir = argv[3];
  if (!(scale > 0)) fail("SCALE must be a number above 0");

  Random random(kind == "large" ? 1 : kind == "small" ? 2 : 3);
  DataSet set;
  if (kind == "large")
    set = large(scale, &random);
  else if (kind == "small")
    set = small(scale, &random);
  else if (kind == "million")
    set = million(scale, &random);
  else if (kind == "longdir")
    set = longDirectory(scale);
  else if (kind == "emptynames")
    set = emptyNames(scale);
  else
    fail("unknown kind " + kind);

  archive::PlannedArchive plan;
  std::string error;
  if (!archive::planArchive(std::string("BNC", 3), set.entries, &plan, &error))
    fail(error);

  const bool withTree = kind != "longdir" && kind != "emptynames";
  makeFolder(outDir);
  const std::string tree = outDir + "/tree";
  if (withTree) {
    makeFolder(tree);
    makeFolder(tree + "/extract");
  }
  std::set<std::string> folders;

  const std::string archivePath = outDir + "/00000000.cfsi";
  const int archiveFd =
      ::open(archivePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (archiveFd < 0) failSystem("open " + archivePath);
  std::string head = plan.index;
  head.resize(static_cast<std::size_t>(plan.dataStart), '\0');
  writeAll(archiveFd, head.data(), head.size(), archivePath);

  std::string expectedOut = "Arbo read\n";
  std::vector<char> bytes;
  std::uint64_t written = 0;  // bytes of the data area so far
  for (std::size_t i = 0; i < set.entries.size(); ++i) {
    const archive::PlannedEntry& entry = set.entries[i];
    const std::string gap(plan.dataOffsets[i] - written, '\0');
    writeAll(archiveFd, gap.data(), gap.size(), archivePath);
    bytes.resize(entry.size + 8);
    Random content(random.next());
    for (std::size_t at = 0; at < entry.size; at += 8) {
      const std::uint64_t word = content.next();
      std::memcpy(&bytes[at], &word, 8);
    }
    writeAll(archiveFd, bytes.data(), entry.size, archivePath);
    written = plan.dataOffsets[i] + entry.size;

    if (!withTree || !set.selected[i]) continue;
    expectedOut +=
        "extract : extract/" + entry.directory + entry.name + " ... done\n";
    if (folders.insert(entry.directory).second)
      makeFolders(tree + "/extract", entry.directory);
    const std::string path = tree + "/extract/" + entry.directory + entry.name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) failSystem("open " + path);
    writeAll(fd, bytes.data(), entry.size, path);
    ::close(fd);
  }
  if (::close(archiveFd) != 0) failSystem("close " + archivePath);
  if (withTree) {
    const std::string outPath = outDir + "/expected_stdout";
    const int outFd =
        ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (outFd < 0) failSystem("open " + outPath);
    writeAll(outFd, expectedOut.data(), expectedOut.size(), outPath);
    ::close(outFd);
  }
  const std::string countPath = outDir + "/entries";
  const std::string count = std::to_string(set.entries.size()) + "\n";
  const int countFd =
      ::open(countPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (countFd < 0) failSystem("open " + countPath);
  writeAll(countFd, count.data(), count.size(), countPath);
  ::close(countFd);
  std::printf("%s: %zu entries, %llu bytes of data\n", kind.c_str(),
              set.entries.size(), static_cast<unsigned long long>(written));
  return 0;
}
