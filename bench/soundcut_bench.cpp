// Times whole soundcut processes on the images that matter and compares
// each with a process that only starts and exits (soundcut with no
// arguments), measured in the same run:
//   (a) the sample image,
//   (b) 64 chained disks of which only the last is the game's disk A,
//   (c) the slowest image within 2 MiB that we know of,
//   (d) the sample image again, in a folder that already holds its files.
// Reports the median wall time and the peak memory (maximum resident set)
// as ratios.
// With --check, exits with 1 when a bar is missed: (a) and (d) within 1.5
// times and (b) within 2 times the no-argument run, (c) under 5 seconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "d88_builder.h"
#include "program_run.h"
#include "worst_case_images.h"

namespace {

struct Measurement {
  double seconds = 0;
  long peakKib = 0;
};

// Peak memory and wall time of the runs of each case, by case name.
std::map<std::string, Measurement> Results;

d88test::ScratchDir& Scratch() {
  static d88test::ScratchDir scratch;
  return scratch;
}

// Runs soundcut once, through the launcher that measures it.
Measurement RunOnce(const std::vector<std::string>& args) {
  std::string command = std::string(RUN_MEASURED_PROGRAM) + " " + SOUNDCUT_PROGRAM;
  for (const std::string& arg : args) command += " '" + arg + "'";
  FILE* pipe = popen(command.c_str(), "r");
  Measurement m;
  if (pipe == nullptr || std::fscanf(pipe, "%lf %ld", &m.seconds, &m.peakKib) != 2) {
    std::fprintf(stderr, "cannot run %s\n", command.c_str());
    std::exit(2);
  }
  pclose(pipe);
  return m;
}

// Output files are removed before each run (untimed), so every run writes
// its files fresh, as on a user's first run in a directory; a re-run case
// keeps them, as when a user runs soundcut again.
void RemoveOutputs() {
  for (const char* name : {"PSGDRV", "OPMDRV", "PSGMUS", "OPMMUS"}) {
    std::remove(Scratch().PathOf(name).c_str());
  }
}

enum class Outputs { Fresh, AlreadyThere };

void RunCase(benchmark::State& state, const std::string& name, const d88test::Bytes& image,
             Outputs outputs) {
  std::vector<std::string> args;
  if (!image.empty()) {
    Scratch().Put(name + ".d88", image);
    args.push_back(Scratch().PathOf(name + ".d88"));
  }
  std::vector<double> seconds;
  long peakKib = 0;
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(Scratch().Work());
  RemoveOutputs();
  if (outputs == Outputs::AlreadyThere) RunOnce(args);
  for (auto _ : state) {
    state.PauseTiming();
    if (outputs == Outputs::Fresh) RemoveOutputs();
    state.ResumeTiming();
    const Measurement once = RunOnce(args);
    state.SetIterationTime(once.seconds);
    seconds.push_back(once.seconds);
    peakKib = std::max(peakKib, once.peakKib);
  }
  std::filesystem::current_path(previous);
  state.counters["peak_KiB"] = static_cast<double>(peakKib);
  // The median: a process start now and then delayed by the machine does
  // not move it, where it would move a mean.
  std::sort(seconds.begin(), seconds.end());
  Results[name] = {seconds[seconds.size() / 2], peakKib};
}

void PrintRatios() {
  const Measurement base = Results["no_arguments"];
  std::printf("\n%-26s %12s %9s %11s %9s\n", "soundcut run", "wall (ms)", "x no-arg", "peak (KiB)",
              "x no-arg");
  for (const char* name : {"no_arguments", "a_sample_image", "b_game_disk_last_of_64",
                           "c_slowest_image", "d_rerun_sample_image"}) {
    const Measurement m = Results[name];
    std::printf("%-26s %12.3f %9.2f %11ld %9.2f\n", name, m.seconds * 1e3, m.seconds / base.seconds,
                m.peakKib, static_cast<double>(m.peakKib) / static_cast<double>(base.peakKib));
  }
}

bool BarsMet() {
  const Measurement base = Results["no_arguments"];
  auto within = [&](const char* name, double factor) {
    const Measurement m = Results[name];
    const bool ok = m.seconds <= factor * base.seconds &&
                    static_cast<double>(m.peakKib) <= factor * static_cast<double>(base.peakKib);
    if (!ok) std::printf("bar missed: %s is not within %.1f times the no-argument run\n", name, factor);
    return ok;
  };
  bool ok = within("a_sample_image", 1.5);
  ok = within("b_game_disk_last_of_64", 2.0) && ok;
  ok = within("d_rerun_sample_image", 1.5) && ok;
  if (Results["c_slowest_image"].seconds >= 5.0) {
    std::printf("bar missed: c_slowest_image takes 5 seconds or more\n");
    ok = false;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());

  const auto add = [](const char* name, const d88test::Bytes& image, Outputs outputs) {
    return benchmark::RegisterBenchmark(name, RunCase, name, image, outputs)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  };
  add("no_arguments", d88test::Bytes{}, Outputs::Fresh);
  add("a_sample_image", d88test::Build(d88test::GameDiskA()), Outputs::Fresh);
  add("b_game_disk_last_of_64", d88test::GameDiskLastOfSixtyFour(), Outputs::Fresh);
  add("c_slowest_image", d88test::SlowestImage(), Outputs::Fresh)->Iterations(3);
  add("d_rerun_sample_image", d88test::Build(d88test::GameDiskA()), Outputs::AlreadyThere);

  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  if (check && !BarsMet()) return 1;
  return 0;
}
