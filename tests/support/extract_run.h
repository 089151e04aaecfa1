// A whole run of extractGameFile as a process, the way a user runs it, in a
// scratch working folder, checked against a table row: exact standard
// output, exit status, every file and folder made, and the error lines.
#ifndef EXTRACTGAMEFILE_TESTS_EXTRACT_RUN_H_
#define EXTRACTGAMEFILE_TESTS_EXTRACT_RUN_H_

#include <functional>
#include <string>
#include <vector>

#include "archive_builder.h"
#include "process.h"
#include "scratch.h"

namespace fixture {

extern const char kArchiveName[];  // "00000000.cfsi"

// An archive whose index lists |directories| and whose data area, from the
// first multiple of 16 after the index, is |data|.
std::string archiveOf(const std::vector<RawDirectory>& directories,
                      const std::string& data);

// Options for a child whose files may not grow past |bytes|.
ProcessOptions fileSizeLimit(long bytes);

// What a run starts from.
struct RunInput {
  std::string archive;                                   // empty: no archive
  std::function<void(const std::string&)> prepare = {};  // gets the work folder
  ProcessOptions options = {};
};

// What a run must give.
struct RunExpectation {
  std::string out;  // standard output, exactly
  int status = 0;
  Tree made = {};                        // below the work folder, archive aside
  std::vector<std::string> errors = {};  // each must appear on stderr
};

struct RunCase {
  const char* what;
  RunInput input;
  RunExpectation expected;
};

// Runs extractGameFile (EXTRACTGAMEFILE_BINARY) in "work/" of a fresh
// scratch folder that holds |c.input.archive| as the archive, after
// |c.input.prepare|, and checks the result with GoogleTest expectations. The
// whole scratch folder must end up as the work folder, the archive unchanged
// and |c.expected.made|: nothing may appear beside the work folder. Whatever
// the case, standard error holds no control byte but line ends, and is empty
// on exit status 0. A case that needs a file-size limit where the system
// has none is passed over, and says so on standard error.
void run(const RunCase& c);

}  // namespace fixture

#endif  // EXTRACTGAMEFILE_TESTS_EXTRACT_RUN_H_
