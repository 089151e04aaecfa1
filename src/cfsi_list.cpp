#include "cfsi_list.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "archive_index.h"
#include "json_names.h"
#include "report.h"

namespace {

// Prints each entry as the index reader reads it, so that no entry is ever
// held: memory stays the same whatever the archive.
class Printer {
 public:
  explicit Printer(bool json) {
    if (json) json_.reset(new JsonArrayStream(&std::cout));
  }

  void print(const fileInfo& entry) {
    if (!std::cout) return;  // the reader went away: nothing more to say
    if (json_) {
      const nlohmann::json object = {{"directory", jsonName(entry.directory)},
                                     {"name", jsonName(entry.name)},
                                     {"offset", entry.offset},
                                     {"size", entry.size}};
      json_->add(object);
    } else {
      char size[16];
      std::snprintf(size, sizeof size, "%10lu",
                    static_cast<unsigned long>(entry.size));
      line_.assign(size);
      line_ += "  ";
      appendPrintable(&line_, entry.directory + entry.name);
      line_ += '\n';
      std::cout << line_;
    }
  }

  void finish() {
    if (json_) json_->finish();
    std::cout.flush();
  }

 private:
  std::unique_ptr<JsonArrayStream> json_;  // none for text
  std::string line_;
};

}  // namespace

int runList(const std::string& archivePath, bool json,
            const PathFilter& filter) {
  archive::Index index;
  std::string error;
  EntrySelection selection(filter);
  // The archive is opened before anything is printed, so that an archive
  // that cannot be opened prints nothing on standard output.
  std::unique_ptr<Printer> printer;
  const archive::IndexStatus status = archive::readIndex(
      archivePath, &index, &error, [&](const fileInfo& entry) {
        if (!printer) printer.reset(new Printer(json));
        if (selection.takes(entry)) printer->print(entry);
        return false;
      });
  if (status == archive::IndexStatus::kUnopenable) {
    archive::reportIndexStatus(archivePath, status, error, nullptr);
    return 1;
  }
  if (!printer) printer.reset(new Printer(json));
  printer->finish();
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
