// run_measured PROGRAM [ARGS...]
// Runs PROGRAM with its output thrown away and prints its wall time in
// seconds and its peak resident memory in KiB. The kernel carries a
// process's memory high-water mark across exec, so a program started
// straight from the (large) benchmark process would report the benchmark's
// memory; started from this small, statically linked launcher, it reports
// its own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  timespec start{};
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execv(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 2;
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                         static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
  std::printf("%.9f %ld\n", seconds, usage.ru_maxrss);
  return WIFEXITED(status) && WEXITSTATUS(status) != 127 ? 0 : 2;
}
