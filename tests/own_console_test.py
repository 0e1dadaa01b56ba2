#!/usr/bin/env python3
"""Runs a Windows build of soundcut or d88list as Explorer does when an image
is dropped on it: on a console of its own. Wine gives a program it starts on
a pseudo-terminal a console of its own on that terminal, so the test can read
the console text and press Enter.

  own_console_test.py PROGRAM.exe IMAGE LAUNCHER [LAUNCHER ARGS...]

The program must print its text, ask for Enter, still be waiting a moment
later, and end with exit code 0 once Enter is pressed. soundcut must have
written its four files beside the image and none into the folder it was
started in; d88list must have written no file at all.
"""
import os
import pty
import select
import sys
import tempfile
import time

PRESS_ENTER = "Enter\u30ad\u30fc\u3092\u62bc\u3059\u3068\u7d42\u4e86\u3057\u307e\u3059."
EXPECTED_TEXT = {
    "soundcut.exe": "Brevindor Tolvask (X1) Disk A\u3092\u8a8d\u8b58\u3057\u307e\u3057\u305f.",
    "d88list.exe": '  boot: "Brevindor X1 Sys"',
}
OUTPUT_FILES = ["OPMDRV", "OPMMUS", "PSGDRV", "PSGMUS"]


def read_until(terminal, text, seconds):
    """What appears on the terminal until `text` has appeared, or the time is up."""
    seen = b""
    deadline = time.monotonic() + seconds
    while text.encode() not in seen and time.monotonic() < deadline:
        ready, _, _ = select.select([terminal], [], [], 0.2)
        if ready:
            try:
                seen += os.read(terminal, 65536)
            except OSError:  # the program has ended and closed the terminal
                break
    return seen.decode("utf-8", "replace")


def main():
    program, image = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    launcher = [os.path.abspath(sys.argv[3])] + sys.argv[4:]
    name = os.path.basename(program)
    with tempfile.TemporaryDirectory() as root:
        started_in = os.path.join(root, "started-in")
        beside = os.path.join(root, "images")
        os.mkdir(started_in)
        os.mkdir(beside)
        dropped = os.path.join(beside, "dropped.d88")
        with open(image, "rb") as source, open(dropped, "wb") as target:
            target.write(source.read())

        child, terminal = pty.fork()
        if child == 0:
            try:
                os.chdir(started_in)
                os.environ["LANG"] = os.environ["LC_ALL"] = "C.UTF-8"
                os.execv(launcher[0], launcher + [program, dropped])
            finally:
                os._exit(127)
        shown = read_until(terminal, PRESS_ENTER, 120)
        failures = []
        if EXPECTED_TEXT[name] not in shown:
            failures.append("the console does not show %r" % EXPECTED_TEXT[name])
        if PRESS_ENTER not in shown:
            failures.append("no request to press Enter")
        time.sleep(0.5)
        ended, _ = os.waitpid(child, os.WNOHANG)
        if ended != 0:
            failures.append("it ended without waiting for Enter")
        else:
            os.write(terminal, b"\r")
            read_until(terminal, "\0", 20)
            _, status = os.waitpid(child, 0)
            if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
                failures.append("exit status %d after Enter" % status)
        expected_beside = sorted(OUTPUT_FILES + ["dropped.d88"]) if name == "soundcut.exe" else ["dropped.d88"]
        if sorted(os.listdir(beside)) != expected_beside:
            failures.append("beside the image: %s" % sorted(os.listdir(beside)))
        if os.listdir(started_in):
            failures.append("in the folder it started in: %s" % sorted(os.listdir(started_in)))
    if failures:
        print("%s on a console of its own:\n  %s\nThe console showed:\n%s" % (name, "\n  ".join(failures), shown))
        return 1
    print("%s on a console of its own: shows its text, waits for Enter, then ends with 0" % name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
