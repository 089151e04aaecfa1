#include "cfsi_cli.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cfsi_cat.h"
#include "cfsi_diff.h"
#include "cfsi_extract.h"
#include "cfsi_list.h"
#include "cfsi_pack.h"
#include "cfsi_verify.h"
#include "egf_version.h"
#include "report.h"

namespace {

const char kUsage[] =
    "usage: cfsi list [--json] ARCHIVE [PATTERN]... [--exclude PATTERN]...\n"
    "       cfsi extract ARCHIVE [PATTERN]... [--exclude PATTERN]... [-o DIR]\n"
    "                    [--ext EXT]... [--all] [-v] [-j N]\n"
    "       cfsi cat ARCHIVE PATH...\n"
    "       cfsi diff [--json] OLD NEW\n"
    "       cfsi verify ARCHIVE\n"
    "       cfsi pack DIR -o ARCHIVE [--like OLD]\n";

// How patterns match, for the help of each command that takes them.
const char kPatternHelp[] =
    "A PATTERN is matched against the whole of directory plus name, with\n"
    "the shell's wildcards: * (any bytes, \"/\" included), ?, [a-z] and\n"
    "[!a-z]; a backslash quotes the next character. A path also names\n"
    "itself. A PATTERN that names no entry is reported and makes the exit\n"
    "status 1; the rest is still done.\n";

// Adds the PATTERN arguments and the --exclude option to |command|.
void addPathFilter(CLI::App* command, PathFilter* filter, const char* what) {
  command->add_option("PATTERN", filter->patterns, what);
  command
      ->add_option("--exclude", filter->excludes,
                   "Leave out the entries this pattern names (repeatable)")
      ->type_name("PATTERN")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

const char kMoreHelp[] = "Try 'cfsi --help' or 'cfsi COMMAND --help'.\n";

// The usage of one command, from kUsage.
std::string usageOf(const std::string& command) {
  const std::string usage = kUsage;
  const std::size_t at = usage.find("cfsi " + command + " ");
  if (command.empty() || at == std::string::npos) return usage;
  // A command's usage runs on to the next command's line.
  std::size_t end = usage.find("\n       cfsi ", at);
  end = end == std::string::npos ? usage.size() : end + 1;
  return "usage: " + usage.substr(at, end - at);
}

// Writes |usage| and the pointer to the help on standard error, each line
// with the program's name in front, as every line cfsi writes there has.
void reportUsage(const std::string& usage) {
  const std::string text = usage + kMoreHelp;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1)
    reportError(text.substr(start, end - start));
}

// Prints |text| (the help, or the version) on standard output. A help that
// cannot be written fails like any other output: exit status 1 and a line.
int printHelp(const std::string& text) {
  std::cout << text;
  return standardOutputWritten() ? 0 : 1;
}

// What the command line sets, and the commands it defines.
struct CommandLine {
  CLI::App* list = nullptr;
  CLI::App* extract = nullptr;
  CLI::App* cat = nullptr;
  CLI::App* diff = nullptr;
  CLI::App* verify = nullptr;
  CLI::App* pack = nullptr;
  std::string archivePath;  // of list, cat and verify
  bool json = false;
  PathFilter listFilter;
  ExtractOptions extractOptions;
  std::vector<std::string> catPaths;
  DiffOptions diffOptions;
  PackOptions packOptions;
};

void addList(CLI::App* app, CommandLine* line) {
  CLI::App* list = line->list = app->add_subcommand(
      "list", "Print the archive's entries in index order.");
  list->add_option("ARCHIVE", line->archivePath, "The archive to read")
      ->required();
  addPathFilter(list, &line->listFilter, "List only the entries these name");
  list->add_flag("--json", line->json,
                 "One JSON array of {directory, name, offset, size}");
  list->footer(
      std::string(kPatternHelp) +
      "Text: the size in bytes right-aligned in 10 columns, two spaces, then\n"
      "directory and name, control bytes written as \\xHH.\n"
      "JSON: \"offset\" is the byte distance from the data area's start. A\n"
      "directory or name that is valid UTF-8 is a JSON string; any other is\n"
      "an object {\"hex\": \"...\"} holding its bytes as lowercase hex pairs.");
}

void addExtract(CLI::App* app, CommandLine* line) {
  ExtractOptions& options = line->extractOptions;
  CLI::App* extract = line->extract =
      app->add_subcommand("extract", "Extract entries into a folder tree.");
  extract->add_option("ARCHIVE", options.archivePath, "The archive to read")
      ->required();
  addPathFilter(extract, &options.paths,
                "Extract the entries these name, whatever their extension "
                "(--ext narrows them)");
  extract
      ->add_option("-o,--output", options.outputDir,
                   "Output folder (default: extract)")
      ->type_name("DIR");
  CLI::Option* ext =
      extract
          ->add_option("--ext", options.extensions,
                       "Extract entries with this extension (repeatable; "
                       "default: dds, or any with a PATTERN)")
          ->type_name("EXT")
          ->expected(1)
          ->allow_extra_args(false)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  extract->add_flag("--all", options.all, "Extract every entry")->excludes(ext);
  extract->add_flag("-v,--verbose", options.verbose,
                    "Print an 'extract : PATH ... done' line per entry");
  extract
      ->add_option("-j,--jobs", options.jobs,
                   "Entries extracted at the same time (default: the "
                   "number of processors, here " +
                       std::to_string(defaultJobs()) +
                       "); the results are those of -j 1")
      ->type_name("N")
      ->check(CLI::Range(1u, kMaxJobs));
  extract->footer(
      std::string(kPatternHelp) +
      "Unsafe paths and data outside the archive are refused, a failed copy\n"
      "leaves no partial file, and a failed entry never stops a later one.\n"
      "A summary line goes to standard error; on a terminal, long runs show\n"
      "a progress bar there. Exit status 1 if any entry failed.");
}

void addCat(CLI::App* app, CommandLine* line) {
  CLI::App* cat = line->cat = app->add_subcommand(
      "cat", "Write entries' bytes to standard output, byte for byte.");
  cat->add_option("ARCHIVE", line->archivePath, "The archive to read")
      ->required();
  cat->add_option("PATH", line->catPaths,
                  "An entry's directory plus name, or a PATTERN")
      ->required();
  cat->footer(
      "Each PATH's entries in the order given, in index order within one\n"
      "PATTERN (see 'cfsi list --help'); of entries with one path, the last.\n"
      "Refuses to write to a terminal: redirect to a file or a pipe.\n"
      "An entry whose data lies outside the archive fails; the others are\n"
      "still written. Exit status 1 on any failure.");
}

void addDiff(CLI::App* app, CommandLine* line) {
  DiffOptions& options = line->diffOptions;
  CLI::App* diff = line->diff =
      app->add_subcommand("diff", "Compare two archives entry by entry.");
  diff->add_option("OLD", options.oldPath, "The archive before")->required();
  diff->add_option("NEW", options.newPath, "The archive after")->required();
  diff->add_flag("--json", options.json,
                 "One JSON array of {change, path, old_size, new_size}");
  diff->footer(
      "Entries are matched by path (directory plus name; of entries with\n"
      "one path, the last). One line per difference: '+ PATH' added,\n"
      "'M PATH (OLD -> NEW bytes)' changed, in NEW's index order, then\n"
      "'- PATH' removed, in OLD's; a summary on standard error. Bytes are\n"
      "compared, not only sizes. Exit status 0 when the archives hold the\n"
      "same entries with the same bytes, 1 when they differ, 2 on trouble\n"
      "(an archive that cannot be opened or read, an incomplete index).");
}

void addVerify(CLI::App* app, CommandLine* line) {
  CLI::App* verify = line->verify = app->add_subcommand(
      "verify", "Check that an archive extracts in full and safely.");
  verify->add_option("ARCHIVE", line->archivePath, "The archive to check")
      ->required();
  verify->footer(
      "Problems: an incomplete index, data outside the archive, an unsafe\n"
      "path, two entries with one output path. Notes: overlapping data.\n"
      "One line per finding, then a summary. Exit status 1 on any problem.");
}

void addPack(CLI::App* app, CommandLine* line) {
  PackOptions& options = line->packOptions;
  CLI::App* pack = line->pack = app->add_subcommand(
      "pack", "Build an archive from a folder tree, or repack one.");
  pack->add_option("DIR", options.dir, "The folder tree to pack")->required();
  pack->add_option("-o,--output", options.output, "The archive to write")
      ->type_name("ARCHIVE")
      ->required();
  pack->add_option("--like", options.like,
                   "Repack this archive: its index, with entries replaced by "
                   "the files of DIR at their paths")
      ->type_name("OLD");
  pack->footer(
      "Without --like, every regular file below DIR is an entry, in bytewise\n"
      "order of its path. With --like OLD, the new archive has OLD's leading\n"
      "bytes and records; files in DIR that OLD does not list are not added.\n"
      "Symbolic links and special files are skipped with a warning. The\n"
      "archive is written under a temporary name and renamed when complete.");
}

// Parses |argv| into |line|. Returns -1 when a command is to run; otherwise
// the help, the version or what is wrong with the call has been written,
// and the return value is the exit status.
int parse(CLI::App* app, const CommandLine& line, int argc, char** argv) {
  // Left to itself the parser would take an unknown command for a stray
  // argument and only say that a command is missing.
  const auto isCommand = [&](const char* word) {
    for (const CLI::App* command :
         {line.list, line.extract, line.cat, line.diff, line.verify, line.pack})
      if (command->check_name(word)) return true;
    return false;
  };
  if (argc > 1 && argv[1][0] != '-' && !isCommand(argv[1])) {
    reportError("unknown command '" + printable(argv[1]) + "'");
    reportUsage(kUsage);
    return 2;
  }
  try {
    app->parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return printHelp(app->help());  // the selected command's help, if any
  } catch (const CLI::CallForAllHelp&) {
    return printHelp(app->help("", CLI::AppFormatMode::All));
  } catch (const CLI::CallForVersion& e) {
    return printHelp(std::string(e.what()) + '\n');
  } catch (const CLI::ParseError& e) {
    const std::vector<CLI::App*> chosen = app->get_subcommands();
    // The parser's messages quote the arguments as they were given.
    reportError(printable(e.what()));
    reportUsage(usageOf(chosen.empty() ? "" : chosen[0]->get_name()));
    return 2;
  }
  return -1;
}

// Runs the command |line| names, once its options are parsed.
int runCommand(const CommandLine& line) {
  if (line.list->parsed())
    return runList(line.archivePath, line.json, line.listFilter);
  if (line.cat->parsed()) return runCat(line.archivePath, line.catPaths);
  if (line.diff->parsed()) return runDiff(line.diffOptions);
  if (line.verify->parsed()) return runVerify(line.archivePath);
  if (line.extract->parsed()) {
    if (line.extractOptions.outputDir.empty()) {
      reportError("-o: the output folder's name is empty");
      reportUsage(usageOf("extract"));
      return 2;
    }
    return runExtract(line.extractOptions);
  }
  return runPack(line.packOptions);
}

}  // namespace

int runCfsi(int argc, char** argv) {
  CLI::App app(
      "cfsi: list, extract, verify and repack cfsi game-data archives.",
      "cfsi");
  app.require_subcommand(1, 1);
  app.set_version_flag("--version", std::string("cfsi ") + EGF_VERSION,
                       "Print the name and version, then exit");
  app.footer(
      "Exit status: 0 on success, 1 when the command failed, 2 for a wrong "
      "call;\nfor diff: 0 when the archives are the same, 1 when they "
      "differ, 2 on trouble.\nRun 'cfsi COMMAND --help' for the details of a "
      "command.");
  CommandLine line;
  addList(&app, &line);
  addExtract(&app, &line);
  addCat(&app, &line);
  addDiff(&app, &line);
  addVerify(&app, &line);
  addPack(&app, &line);
  const int parseStatus = parse(&app, line, argc, argv);
  return parseStatus >= 0 ? parseStatus : runCommand(line);
}
