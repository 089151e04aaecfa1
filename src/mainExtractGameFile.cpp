// extractGameFile: unpacks the "dds" entries of the archive 00000000.cfsi in
// the working directory into the folder extract/. It takes no options.
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "QVRFunction.h"
#include "platform.h"
#include "report.h"

int main() {
  const bool stdoutOpen = platform::holdStandardDescriptors();
  // A reader that goes away, or a file-size limit, must not stop the
  // extraction half-way: the write fails and the entry with it.
  platform::reportWriteFailuresAsErrors();
  // Stopped by a user, a run leaves no file half-written.
  platform::removeFilesInProgressOnStop();

  const std::string archivePath = "00000000.cfsi";
  const std::string outputRoot = "extract/";
  const std::string extensionFilter = "dds";

  QVRFunction engine;
  // Only the selected entries are kept from the index; the others would
  // only be passed over.
  std::vector<fileInfo> entries =
      engine.readTable(archivePath, extensionFilter);
  std::cout << "Arbo read" << std::endl;
  const bool indexRead = engine.dataStart >= 0;
  // Handed over, not copied: on an index of a million entries a copy would
  // double the program's memory.
  const bool allExtracted = engine.extractFiles(
      archivePath, outputRoot, std::move(entries), extensionFilter);

  const bool outputWritten =
      standardOutputWritten("the progress lines were lost", stdoutOpen);
  return indexRead && allExtracted && outputWritten ? 0 : 1;
}
