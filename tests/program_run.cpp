#include "program_run.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
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

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const fs::path root = fs::temp_directory_path() /
                        ("d88test-" + std::to_string(getpid()) + "-" +
                         std::to_string(counter++));
  fs::remove_all(root);
  fs::create_directories(root / "work");
  root_ = root.string();
  work_ = (root / "work").string();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string ScratchDir::PathOf(const std::string& name) const {
  return (fs::path(work_) / name).string();
}

void ScratchDir::Put(const std::string& name, const Bytes& bytes) const {
  WriteFileBytes(PathOf(name), bytes);
}

Bytes ScratchDir::Get(const std::string& name) const { return ReadFileBytes(PathOf(name)); }

std::vector<std::string> ScratchDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(work_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

RunResult ScratchDir::Run(const std::string& program,
                          const std::vector<std::string>& args,
                          const std::string& shellSetup, Streams streams) const {
  const std::string outPath = (fs::path(root_) / "stdout").string();
  const std::string errPath = (fs::path(root_) / "stderr").string();
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
  }

  RunResult result;
  result.exitCode = Shell(command);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

int ScratchDir::Shell(const std::string& command) const {
#ifdef _WIN32
  // cmd.exe drops the outer quotes of a command line that starts with one.
  const std::string line = "\"" + command + "\"";
#else
  const std::string& line = command;
#endif
  const fs::path previous = fs::current_path();
  fs::current_path(work_);
  const int status = std::system(line.c_str());
  fs::current_path(previous);
  return ExitCodeOf(status);
}

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
