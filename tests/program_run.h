// Runs a built program as a separate process, the way a user would from a
// shell, and captures what it leaves behind: exit code, standard output and
// standard error (each byte for byte), and the files in its directory.
#ifndef TESTS_PROGRAM_RUN_H
#define TESTS_PROGRAM_RUN_H

#include <string>
#include <vector>

#include "d88_builder.h"

namespace d88test {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Paths and names are UTF-8 everywhere, Windows included.

// A fresh, empty directory for one test, removed when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The directory the program runs in; captures are kept outside it.
  const std::string& Work() const { return work_; }
  std::string PathOf(const std::string& name) const;
  void Put(const std::string& name, const Bytes& bytes) const;
  Bytes Get(const std::string& name) const;
  // Names of the entries in Work(), sorted.
  std::vector<std::string> Entries() const;

  // Where a run's standard streams go: each to a file of its own, both into
  // one file (RunResult::out), or standard output to a device that is
  // always full or to a pipe whose reader has already gone (POSIX).
  enum class Streams { Separate, Merged, OutputToFullDevice, OutputToClosedPipe };

  // Runs `program` with `args` in Work(). `args` are passed as typed.
  // `shellSetup` is shell text run first in the same shell (limits, say).
  RunResult Run(const std::string& program, const std::vector<std::string>& args,
                const std::string& shellSetup = "", Streams streams = Streams::Separate) const;
  // Runs shell text in Work(); returns its exit code.
  int Shell(const std::string& command) const;
#ifndef _WIN32
  // Runs `program` in Work() with all three standard streams on a new
  // pseudo-terminal and LC_ALL set to `locale`; RunResult::out is all that
  // appeared on the terminal (line ends as CR LF).
  RunResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                          const std::string& locale) const;
#endif

 private:
  std::string root_;
  std::string work_;
};

// Removes `files` from `folder`, then `folder` and the folders above it up to
// (not including) `stop`. std::filesystem cannot walk folders deeper than
// 260 characters on Windows; this needs no walk.
void RemoveDeepFolder(const std::string& folder, const std::vector<std::string>& files,
                      const std::string& stop);

// A word quoted for the shell that Run and Shell use.
std::string Quote(const std::string& word);

// Text as a program writes it through a text-mode stream on this platform:
// each line feed becomes CR LF on Windows.
std::string AsConsoleText(const std::string& text);

}  // namespace d88test

#endif  // TESTS_PROGRAM_RUN_H
