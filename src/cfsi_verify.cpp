#include "cfsi_verify.h"

#include <algorithm>
#include <iostream>
#include <map>

#include "entry_paths.h"
#include "platform.h"
#include "report.h"

namespace {

std::string label(const std::vector<fileInfo>& entries, std::size_t i) {
  return "entry " + std::to_string(i + 1) + " (" +
         printable(entries[i].directory + entries[i].name) + ")";
}

std::string byteRange(std::int64_t start, std::int64_t end) {
  return "bytes " + std::to_string(start) + " to " + std::to_string(end);
}

std::string count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<VerifyFinding> verifyIndex(archive::IndexStatus status,
                                       const std::string& error,
                                       const archive::Index& index) {
  std::vector<VerifyFinding> findings;
  if (status != archive::IndexStatus::kComplete) {
    // Without the index's end there is no data area to check against.
    findings.push_back({true, error});
    return findings;
  }
  const std::vector<fileInfo>& entries = index.entries;

  struct Range {
    std::int64_t start, end;
    std::size_t entry;
  };
  std::vector<Range> ranges;
  std::map<std::string, std::size_t> firstWithPath;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const fileInfo& entry = entries[i];
    if (!isSafeEntryPath(entry.directory, entry.name)) {
      findings.push_back({true, label(entries, i) +
                                    ": unsafe path (a \"..\" level or a zero "
                                    "byte), cannot be extracted"});
    } else {
      const std::string windowsProblem =
          windowsPathProblem(entry.directory, entry.name);
      if (!windowsProblem.empty() && platform::windowsPaths())
        findings.push_back({true, label(entries, i) + ": unsafe path on " +
                                      "Windows (" + windowsProblem +
                                      "), cannot be extracted"});
      else if (!windowsProblem.empty())
        findings.push_back({false, label(entries, i) +
                                       ": not portable to Windows (" +
                                       windowsProblem + ")"});
      // Any output root gives the same answer: it is put in front of both.
      const auto seen = firstWithPath.emplace(
          platform::fileNameKey(outputPathOf("", entry)), i);
      if (!seen.second)
        findings.push_back({true, label(entries, i) +
                                      ": same output path as " +
                                      label(entries, seen.first->second)});
    }
    if (entry.size == 0) continue;
    const std::int64_t start = archive::entryStart(index.dataStart, entry);
    const std::int64_t end = start + entry.size;
    if (!archive::dataInsideArchive(index.dataStart, entry, index.archiveSize)) {
      findings.push_back({true, label(entries, i) + ": data at " +
                                    byteRange(start, end) +
                                    " lies outside the archive (" +
                                    std::to_string(index.archiveSize) +
                                    " bytes)"});
      continue;
    }
    if (start < index.indexEnd)
      findings.push_back({false, label(entries, i) + ": data at " +
                                     byteRange(start, end) +
                                     " overlaps the index (bytes 0 to " +
                                     std::to_string(index.indexEnd) + ")"});
    ranges.push_back({start, end, i});
  }

  // One note per range that starts before the furthest end of the ranges
  // before it: every overlap is seen, and the count stays linear.
  std::stable_sort(ranges.begin(), ranges.end(),
                   [](const Range& a, const Range& b) { return a.start < b.start; });
  const Range* reach = nullptr;
  for (const Range& range : ranges) {
    if (reach != nullptr && range.start < reach->end)
      findings.push_back({false, label(entries, range.entry) + ": data at " +
                                     byteRange(range.start, range.end) +
                                     " overlaps " + label(entries, reach->entry)});
    if (reach == nullptr || range.end > reach->end) reach = &range;
  }
  return findings;
}

int runVerify(const std::string& archivePath) {
  archive::Index index;
  std::string error;
  const archive::IndexStatus status =
      archive::readIndex(archivePath, &index, &error);
  if (status == archive::IndexStatus::kUnopenable) {
    reportError("cannot open " + printable(archivePath) + ": " + error);
    return 1;
  }
  const std::vector<VerifyFinding> findings = verifyIndex(status, error, index);
  std::size_t problems = 0;
  for (const VerifyFinding& finding : findings) {
    std::cout << (finding.problem ? "problem: " : "note: ") << finding.text
              << '\n';
    problems += finding.problem ? 1 : 0;
  }
  std::cout << printable(archivePath) << ": "
            << count(index.entries.size(), "entry", "entries") << ", "
            << count(problems, "problem", "problems") << ", "
            << count(findings.size() - problems, "note", "notes") << '\n';
  std::cout.flush();
  if (!std::cout) {
    reportError("standard output: write error");
    return 1;
  }
  return problems == 0 ? 0 : 1;
}
