#include "cfsi_list.h"

#include <cstdio>
#include <iostream>

#include "archive_index.h"
#include "json_names.h"
#include "report.h"

namespace {

void printText(const archive::Index& index) {
  for (const fileInfo& entry : index.entries) {
    char size[16];
    std::snprintf(size, sizeof size, "%10lu",
                  static_cast<unsigned long>(entry.size));
    std::cout << size << "  " << printable(entry.directory + entry.name)
              << '\n';
    if (!std::cout) return;  // the reader went away: stop early
  }
}

void printJson(const archive::Index& index) {
  // One object per line, written as the entries come, so that a large
  // index is never held twice.
  std::cout << '[';
  const char* separator = "\n";
  for (const fileInfo& entry : index.entries) {
    const nlohmann::json object = {{"directory", jsonName(entry.directory)},
                                   {"name", jsonName(entry.name)},
                                   {"offset", entry.offset},
                                   {"size", entry.size}};
    std::cout << separator << object.dump();
    separator = ",\n";
    if (!std::cout) return;
  }
  std::cout << (index.entries.empty() ? "]\n" : "\n]\n");
}

}  // namespace

int runList(const std::string& archivePath, bool json,
            const PathFilter& filter) {
  archive::Index index;
  std::string error;
  EntrySelection selection(filter);
  const archive::IndexStatus status = archive::readIndex(
      archivePath, &index, &error,
      [&selection](const fileInfo& entry) { return selection.takes(entry); });
  if (status == archive::IndexStatus::kUnopenable) {
    archive::reportIndexStatus(archivePath, status, error, nullptr);
    return 1;
  }
  if (json) {
    printJson(index);
  } else {
    printText(index);
  }
  std::cout.flush();
  int exitStatus = 0;
  if (!archive::reportIndexStatus(archivePath, status, error,
                                  "the entries before it are listed")) {
    exitStatus = 1;
  } else if (selection.reportUnmatched() > 0) {
    exitStatus = 1;
  }
  if (!standardOutputWritten()) exitStatus = 1;
  return exitStatus;
}
