#include "program_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#else
#include <process.h>
#define getpid _getpid
#endif

namespace fs = std::filesystem;

namespace d88test {
namespace {

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

int ExitCodeOf(int status) {
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace

std::string Quote(const std::string& word) {
#ifdef _WIN32
  return "\"" + word + "\"";
#else
  std::string quoted = "'";
  for (char ch : word) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
#endif
}

// A path that file operations take at any length: on Windows, in the
// extended-length form.
fs::path AnyLength(const fs::path& path) {
#ifdef _WIN32
  return fs::path(L"\\\\?\\" + fs::absolute(path).make_preferred().wstring());
#else
  return path;
#endif
}

void RemoveDeepFolder(const std::string& folder, const std::vector<std::string>& files,
                      const std::string& stop) {
  std::error_code ignored;
  for (const std::string& file : files) fs::remove(AnyLength(fs::u8path(folder) / fs::u8path(file)), ignored);
  const fs::path last = fs::u8path(stop);
  for (fs::path at = fs::u8path(folder); !at.empty() && at != last; at = at.parent_path()) {
    fs::remove(AnyLength(at), ignored);
  }
}

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  // Process ids come round again (quickly under wine), and a run that died
  // may have left its folder: the clock keeps names apart.
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path root = fs::temp_directory_path() /
                        ("d88test-" + std::to_string(getpid()) + "-" + std::to_string(now) + "-" +
                         std::to_string(counter++));
  fs::remove_all(root);
  fs::create_directories(root / "work");
  root_ = root.u8string();
  work_ = (root / "work").u8string();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(fs::u8path(root_), ignored);
}

std::string ScratchDir::PathOf(const std::string& name) const {
  return (fs::u8path(work_) / fs::u8path(name)).u8string();
}

void ScratchDir::Put(const std::string& name, const Bytes& bytes) const {
  WriteFileBytes(PathOf(name), bytes);
}

Bytes ScratchDir::Get(const std::string& name) const { return ReadFileBytes(PathOf(name)); }

std::vector<std::string> ScratchDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::u8path(work_))) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

RunResult ScratchDir::Run(const std::string& program,
                          const std::vector<std::string>& args,
                          const std::string& shellSetup, Streams streams) const {
  const std::string outPath = (fs::u8path(root_) / "stdout").u8string();
  const std::string errPath = (fs::u8path(root_) / "stderr").u8string();
  WriteFileBytes(outPath, {});
  WriteFileBytes(errPath, {});
  std::string command = shellSetup + Quote(program);
  for (const std::string& arg : args) command += " " + Quote(arg);
  switch (streams) {
    case Streams::Separate:
      command += " >" + Quote(outPath) + " 2>" + Quote(errPath);
      break;
    case Streams::Merged:
      command += " >" + Quote(outPath) + " 2>&1";
      break;
    case Streams::OutputToFullDevice:
      command += " >/dev/full 2>" + Quote(errPath);
      break;
    case Streams::OutputToClosedPipe:
      break;  // below
  }

  RunResult result;
#ifndef _WIN32
  if (streams == Streams::OutputToClosedPipe) {
    // The read end is closed before the program starts, so its first write
    // meets a reader that has gone, every time.
    int ends[2];
    if (pipe(ends) != 0) return result;
    close(ends[0]);
    result.exitCode = Shell(command + " >&" + std::to_string(ends[1]) + " 2>" + Quote(errPath));
    close(ends[1]);
    result.err = ReadText(errPath);
    return result;
  }
#endif
  result.exitCode = Shell(command);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

int ScratchDir::Shell(const std::string& command) const {
  const fs::path previous = fs::current_path();
  fs::current_path(fs::u8path(work_));
#ifdef _WIN32
  // cmd.exe drops the outer quotes of a command line that starts with one.
  // The command goes through the wide API, so that names in any script
  // arrive as they are, whatever the system's code page.
  const int status = _wsystem(fs::u8path("\"" + command + "\"").wstring().c_str());
#else
  const int status = std::system(command.c_str());
#endif
  fs::current_path(previous);
  return ExitCodeOf(status);
}

#ifndef _WIN32
RunResult ScratchDir::RunOnTerminal(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::string& locale) const {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  RunResult result;
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) return result;
  if (child == 0) {
    if (chdir(work_.c_str()) != 0) _exit(126);
    unsetenv("LANGUAGE");
    setenv("LC_ALL", locale.c_str(), 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(terminal, chunk, sizeof chunk);
    if (got > 0) {
      result.out.append(chunk, static_cast<size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the program has ended and closed the terminal
    }
  }
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  result.exitCode = ExitCodeOf(status);
  return result;
}
#endif

std::string AsConsoleText(const std::string& text) {
#ifdef _WIN32
  std::string converted;
  for (char ch : text) {
    if (ch == '\n') converted += '\r';
    converted += ch;
  }
  return converted;
#else
  return text;
#endif
}

}  // namespace d88test
