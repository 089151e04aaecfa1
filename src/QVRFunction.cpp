#include "QVRFunction.h"

#include <iostream>
#include <sstream>
#include <utility>

#include "archive_index.h"
#include "entry_paths.h"
#include "extractor.h"
#include "platform.h"
#include "report.h"

QVRFunction::QVRFunction() : dataStart(0) {}

std::vector<fileInfo> QVRFunction::readTable(std::string archivePath) {
  return readTable(std::move(archivePath), std::string());
}

std::vector<fileInfo> QVRFunction::readTable(std::string archivePath,
                                             std::string extensionFilter) {
  const auto selected = [&extensionFilter](const fileInfo& entry) {
    return extensionFilter.empty() ||
           extensionOf(entry.name) == extensionFilter;
  };
  // The selected entries are counted in a first pass, so that the list is
  // allocated once at its exact size: grown as it is read, it would hold up
  // to twice the room it needs, which on an index of millions is most of
  // the program's memory. Reading the index costs little beside that.
  archive::Index index;
  std::string error;
  std::size_t count = 0;
  archive::readIndex(archivePath, &index, &error, [&](const fileInfo& entry) {
    if (selected(entry)) ++count;
    return false;
  });
  index.entries.reserve(count);
  const archive::IndexStatus status =
      archive::readIndex(archivePath, &index, &error, selected);
  dataStart = index.dataStart;
  indexedFile_ = index.identity;
  indexedSize_ = index.archiveSize;
  if (status == archive::IndexStatus::kUnopenable)
    std::cout << "Impossible d'ouvrir le fichier";
  // Entries read before a break are dropped too: an index that does not end
  // where it says cannot be trusted to place any data.
  if (!archive::reportIndexStatus(archivePath, status, error,
                                  "nothing will be extracted"))
    return {};
  return std::move(index.entries);
}

std::int64_t QVRFunction::deltaHexaSector(std::int64_t position) {
  return archive::alignmentGap(position);
}

bool QVRFunction::extractFiles(std::string archivePath, std::string outputRoot,
                               std::vector<fileInfo> entries,
                               std::string extensionFilter) {
  EntryExtractor extractor(archivePath, dataStart, indexedFile_, indexedSize_);
  platform::_mkdir(outputRoot.c_str());
  bool allDone = true;
  std::string error;
  std::string line;
  for (const fileInfo& entry : entries) {
    if (!extensionFilter.empty() && extensionOf(entry.name) != extensionFilter)
      continue;
    const bool done = extractor.extract(entry, outputRoot, &error);
    // The line is put together first and handed over in one piece: one call
    // into the stream and one flush, which is one write to the system per
    // line, where each piece and std::endl cost a call apiece.
    line.assign("extract : ");
    appendPrintable(&line, outputPathOf(outputRoot, entry));
    line += done ? " ... done\n" : " ... failed\n";
    std::cout.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cout.flush();
    if (!done) {
      reportError(error);
      allDone = false;
    }
  }
  return allDone;
}

std::vector<std::string> QVRFunction::split(const std::string& source,
                                            char delimiter) {
  std::vector<std::string> pieces;
  split(source, delimiter, pieces);
  return pieces;
}

std::vector<std::string>& QVRFunction::split(const std::string& source,
                                             char delimiter,
                                             std::vector<std::string>& pieces) {
  std::stringstream stream(source);
  std::string piece;
  while (std::getline(stream, piece, delimiter)) pieces.push_back(piece);
  return pieces;
}
