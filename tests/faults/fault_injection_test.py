#!/usr/bin/env python3
"""Runs soundcut and d88list (also with --json) with their I/O failing, and
checks that every run still tells the truth.

    fault_injection_test.py SOUNDCUT D88LIST FAILING_FREAD_LIBRARY IMAGE

IMAGE holds several disks, some of them the game's disk A. Two kinds of
fault are injected:

- a failing medium: the preloaded library makes fread fail (EIO, the
  stream's error flag set) from its k-th call on, for every k until a run
  no longer reaches it;
- failing system calls, at random, through libfiu's fiu-run: write, partial
  writes, close, rename, open and unlink.

Whatever fails, every run must hold to this:
- exit 0 only when every region of every recognised disk was cut exactly
  and the whole of standard output (the listing) was written, with nothing
  on standard error; a run that ends with 1 shows why (a line on standard
  error, or output cut short);
- a failed read ends with exactly "ファイルを読み込めません." on standard
  error, after output that the clean run begins with; for d88list --json,
  after a document that states no fact the clean one does not state
  identically: its disks are the clean document's first ones, each the
  same, but the last one's tracks may stop early (tracks_complete false),
  a prefix of the clean disk's;
- every output file holds its old bytes or one disk's exact cut, and no
  temporary file is left behind (unless unlink itself failed).

And each fault must have been hit: for every fault point at least one run
shows it (see FIU_POINTS), so that a fiu-run that injects nothing fails.
Each fiu-run run's randomness is seeded from one seed, printed first:
SOUNDCUT_FAULT_SEED=N replays a run of the test.

Exits 77 (skipped) when fiu-run is missing, unless
SOUNDCUT_REQUIRE_FAULT_TOOLS is set, as CI sets it.
"""
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import zlib

OUTPUTS = ["PSGDRV", "OPMDRV", "PSGMUS", "OPMMUS"]
READ_FAILED = "ファイルを読み込めません.\n".encode("cp932")
SKIPPED = 77

# The system calls fiu-run fails, each at random with its probability, how
# many runs each point gets, and what shows that a run was hit. glibc's
# stdio writes through internal calls that no preloaded library sees, so
# the writes that fail are the output files' own, and of d88list, which
# writes no file, only opens are failed. unlink is only called to clean up
# after a failure, so renames fail beside it.
#
# What a hit shows: under one kind of fault, a run that ends with 1 was hit
# by it; a partial write is written whole by the next write, so it shows
# only as more write calls than the clean run makes; a failed unlink
# leaves its temporary file. The odds make about a third of the runs or
# more show a hit (8 to 30 of 30 over ten seeds): at least one in 30 is
# expected, and none would come about less than once in 10^5 test runs.
ENDED_WITH_1 = "ended with 1"
MORE_WRITES = "made more write calls than the clean run"
LEFT_TEMPORARY = "left a temporary file"
FIU_POINTS = {
    "soundcut": [
        ("write", [("posix/io/rw/write", 0.08)], 30, ENDED_WITH_1),
        ("partial writes", [("posix/io/rw/write/reduce", 0.5)], 30, MORE_WRITES),
        ("close", [("posix/io/oc/close", 0.06)], 30, ENDED_WITH_1),
        ("rename", [("posix/io/dir/rename", 0.08)], 30, ENDED_WITH_1),
        ("open", [("posix/io/oc/open", 0.05)], 30, ENDED_WITH_1),
        ("unlink", [("posix/io/dir/unlink", 0.8), ("posix/io/dir/rename", 0.1)], 30,
         LEFT_TEMPORARY),
    ],
    # d88list opens little but its image.
    "d88list": [("open", [("posix/io/oc/open", 0.5)], 30, ENDED_WITH_1)],
    "d88list --json": [("open", [("posix/io/oc/open", 0.5)], 30, ENDED_WITH_1)],
}
# The fields of a disk that a failed read may leave short.
TRACK_FIELDS = ("tracks", "tracks_complete")
# The fields of a document that a failed read changes.
DOCUMENT_ENDING = ("disks", "read_failed", "exit_status")


def fault_seed():
    """The seed of every fiu-run run: SOUNDCUT_FAULT_SEED, or a new one."""
    given = os.environ.get("SOUNDCUT_FAULT_SEED")
    seed = int(given) if given else random.SystemRandom().randrange(1, 2**31)
    print(f"fault seed {seed} (SOUNDCUT_FAULT_SEED={seed} replays these runs)", flush=True)
    return seed


def run_seed(seed, *what):
    """libfiu's seed for one run, the same for the same run whatever ran before."""
    return zlib.crc32("/".join(str(part) for part in (seed,) + what).encode()) or 1


class Failure(Exception):
    pass


def without_tracks(disk):
    return {field: value for field, value in disk.items() if field not in TRACK_FIELDS}


def check_document(out, clean_out, where):
    """Checks a document written after a failed read against the clean one;
    returns whether its last disk's tracks stopped early."""
    try:
        document = json.loads(out)
    except ValueError as error:
        raise Failure(f"{where}: no whole document ({error})") from error
    clean = json.loads(clean_out)
    if not document["read_failed"] or document["exit_status"] != 1:
        raise Failure(f"{where}: the document does not tell of the failed read")
    if any(document[field] != clean[field] for field in clean if field not in DOCUMENT_ENDING):
        raise Failure(f"{where}: the document's own fields differ from the clean one's")
    disks = document["disks"]
    if len(disks) > len(clean["disks"]):
        raise Failure(f"{where}: more disks than the clean document")
    for at, (disk, whole) in enumerate(zip(disks, clean["disks"])):
        if disk == whole:
            continue
        stopped_early = (at == len(disks) - 1 and disk["tracks_complete"] is False
                         and without_tracks(disk) == without_tracks(whole)
                         and disk["tracks"] == whole["tracks"][:len(disk["tracks"])])
        if not stopped_early:
            raise Failure(f"{where}: disk {disk['index']} states what the clean document does not")
    return bool(disks) and disks[-1]["tracks_complete"] is False


def split_disks(image):
    """The bytes of each disk of a D88 image, by the disks' size fields."""
    disks = []
    at = 0
    while at + 688 <= len(image):
        size = struct.unpack_from("<i", image, at + 0x1C)[0]
        disks.append(image[at:at + size])
        at += size
    return disks


class Folder:
    """A folder the programs run in, with the image and old output files."""

    def __init__(self, image):
        self.path = tempfile.mkdtemp(prefix="soundcut-faults-")
        with open(os.path.join(self.path, "image.d88"), "wb") as out:
            out.write(image)

    def reset(self):
        for name in os.listdir(self.path):
            if name != "image.d88":
                os.remove(os.path.join(self.path, name))
        for name in OUTPUTS:
            with open(os.path.join(self.path, name), "wb") as out:
                out.write(b"old " + name.encode())

    def files(self):
        found = {}
        for name in os.listdir(self.path):
            if name != "image.d88":
                with open(os.path.join(self.path, name), "rb") as stream:
                    found[name] = stream.read()
        return found

    def run(self, command, env=None):
        """Exit code, standard output and error, and the run's write calls."""
        process = subprocess.Popen(command + ["image.d88"], cwd=self.path, env=env,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        timer = threading.Timer(60, process.kill)
        timer.start()
        errors = []
        reader = threading.Thread(target=lambda: errors.append(process.stderr.read()))
        reader.start()
        out = process.stdout.read()
        reader.join()
        # The ended process stays until it is waited for, and with it the
        # count of its write calls.
        os.waitid(os.P_PID, process.pid, os.WEXITED | os.WNOWAIT)
        with open(f"/proc/{process.pid}/io") as io:
            writes = int(next(line for line in io if line.startswith("syscw:")).split()[1])
        code = process.wait()
        timer.cancel()
        return code, out, errors[0], writes

    def remove(self):
        shutil.rmtree(self.path)


def reference_cuts(soundcut, image):
    """The files soundcut writes for each game disk of the image alone."""
    cuts = {name: set() for name in OUTPUTS}
    for disk in split_disks(image):
        folder = Folder(disk)
        folder.reset()
        folder.run([soundcut])
        for name, data in folder.files().items():
            if not data.startswith(b"old "):
                cuts[name].add(data)
        folder.remove()
    return cuts


class Checker:
    def __init__(self, soundcut, d88list, image):
        self.programs = {"soundcut": [soundcut], "d88list": [d88list],
                         "d88list --json": [d88list, "--json"]}
        self.cuts = reference_cuts(soundcut, image)
        self.folder = Folder(image)
        self.clean = {}
        self.clean_writes = {}
        for name, program in self.programs.items():
            self.folder.reset()
            code, out, err, writes = self.folder.run(program)
            if code != 0 or err:
                raise Failure(f"{name} fails on the image without faults: {code} {err!r}")
            self.clean[name] = (out, self.folder.files())
            self.clean_writes[name] = writes
        self.seed = fault_seed()

    def run(self, name, command, env, what, temporary_allowed=False):
        """Runs one program under a fault and checks that it held; returns
        its exit code, output, error output, and the signs that the fault
        hit it."""
        self.folder.reset()
        code, out, err, writes = self.folder.run(command + self.programs[name], env)
        clean_out, clean_files = self.clean[name]
        files = self.folder.files()
        where = f"{name} with {what}"
        for file, data in files.items():
            if file in OUTPUTS:
                if data != b"old " + file.encode() and data not in self.cuts[file]:
                    raise Failure(f"{where}: {file} holds neither its old bytes nor a disk's cut")
            elif not (temporary_allowed and ".soundcut-" in file):
                raise Failure(f"{where}: left {file} behind")
        exact = out == clean_out and err == b"" and files == clean_files
        if code == 0 and not exact:
            raise Failure(f"{where}: exit 0, but out {len(out)}/{len(clean_out)} bytes, "
                          f"err {err!r}, files {'exact' if files == clean_files else 'not exact'}")
        if code == 1 and out == clean_out and err == b"":
            raise Failure(f"{where}: exit 1 without a word on why")
        if code not in (0, 1):
            raise Failure(f"{where}: exit {code}, err {err!r}")
        signs = set()
        if code == 1:
            signs.add(ENDED_WITH_1)
        if writes > self.clean_writes[name]:
            signs.add(MORE_WRITES)
        if any(".soundcut-" in file for file in files):
            signs.add(LEFT_TEMPORARY)
        return code, out, err, signs

    def failing_medium(self, name, library):
        """Runs with fread failing from its k-th call on, for k = 1, 2, ...
        until a run is clean; returns how many runs failed, and how many of
        them ended a document's last disk with its tracks stopped early."""
        stopped_early = 0
        for k in range(1, 10000):
            env = dict(os.environ, LD_PRELOAD=library, FAILING_FREAD_FROM=str(k))
            code, out, err, _ = self.run(name, [], env, f"fread failing from call {k} on")
            if code == 0:
                return k - 1, stopped_early
            if err != READ_FAILED:
                raise Failure(f"{name} with fread failing from call {k} on: err {err!r}")
            if name.endswith("--json"):
                stopped_early += check_document(out, self.clean[name][0],
                                                f"{name} with fread failing from call {k} on")
            elif not self.clean[name][0].startswith(out):
                raise Failure(f"{name} with fread failing from call {k} on: wrote what a clean "
                              f"run does not")
        raise Failure(f"{name}: fread fails on every run")

    def failing_calls(self, name, fault, points, runs, sign):
        """Runs with `points` failing at random; returns how many runs failed.
        At least one run must show `sign`: the fault was hit."""
        command = ["fiu-run", "-x"]
        for point, probability in points:
            command += ["-c", f"enable_random name={point},probability={probability}"]
        failed = 0
        hit = 0
        for run in range(runs):
            env = dict(os.environ, FIU_PRNG_SEED=str(run_seed(self.seed, name, fault, run)))
            code, _, _, signs = self.run(name, command, env, f"{fault} failing (run {run + 1})",
                                         temporary_allowed=fault == "unlink")
            failed += code != 0
            hit += sign in signs
        print(f"{name}, {fault} failing: {hit} of {runs} runs {sign} (at least 1 expected)")
        if hit == 0:
            raise Failure(f"{name}, {fault} failing: no run {sign}; was the fault injected?")
        return failed


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    soundcut, d88list, library, image_path = sys.argv[1:]
    with open(image_path, "rb") as stream:
        image = stream.read()
    have_fiu = shutil.which("fiu-run") is not None
    if not have_fiu and not os.environ.get("SOUNDCUT_REQUIRE_FAULT_TOOLS"):
        print("fiu-run not found (Debian's fiu-utils): skipping the fault-injection test")
        return SKIPPED
    if not have_fiu:
        print("fiu-run not found, and SOUNDCUT_REQUIRE_FAULT_TOOLS is set")
        return 1
    checker = Checker(soundcut, d88list, image)
    try:
        for name in checker.programs:
            failed, stopped_early = checker.failing_medium(name, library)
            print(f"{name}, fread failing from call k on: {failed + 1} runs "
                  f"(k = 1..{failed + 1}), {failed} reported the failed read, all held")
            if name.endswith("--json"):
                # The image's disks have tracks, so some failure points fall
                # among them; a document that never stops a disk early
                # leaves that case unchecked.
                print(f"{name}: {stopped_early} documents ended a disk's tracks early")
                if stopped_early == 0:
                    raise Failure(f"{name}: no failed read fell among a disk's tracks")
            for fault, points, runs, sign in FIU_POINTS[name]:
                failed = checker.failing_calls(name, fault, points, runs, sign)
                odds = ", ".join(f"{point} {probability}" for point, probability in points)
                print(f"{name}, {fault} failing ({odds}): {runs} runs, {failed} ended with 1, "
                      f"all held")
    except Failure as failure:
        print(f"FAILED: {failure}")
        return 1
    finally:
        checker.folder.remove()
    return 0


if __name__ == "__main__":
    sys.exit(main())
