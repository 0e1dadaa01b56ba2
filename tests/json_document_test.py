#!/usr/bin/env python3
"""Checks d88list --json against its schema, its text listing and soundcut.

    json_document_test.py D88LIST SOUNDCUT MAKE_SAMPLE_IMAGE SCHEMA FOLDER
                          WRITE_OUTCOME OUTCOME_SCHEMA FACTS_SCHEMA [FAILING_FREAD]

For each generated image (the named kinds and the page's differential run
of random ones): the document validates against the schema; its disks,
boot lines and every track's record IDs are those of the text listing; the
boot sector's and the regions' records carry their marks; and
on each disk soundcut recognises, a region has a sector not "ok" exactly
when soundcut says it cannot read the region's sectors. With the
preloaded FAILING_FREAD library, a failed read still ends a whole document
with read_failed, exit status 1 and the read failure on standard error.
Given 200 images at once, --json writes one line per image, each that
image's document alone. The page's documents of a run (its outcome and the
game's facts) validate against their schemas, and the outcome names the
disks the document calls disk A and the files soundcut wrote.
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import time

import jsonschema

RECOGNISED = b"Brevindor Tolvask (X1) Disk A\x82\xf0\x94\x46\x8e\xaf\x82\xb5\x82\xdc\x82\xb5\x82\xbd.\n"
CANNOT_READ = b": \x83\x5a\x83\x4e\x83\x5e\x82\xf0\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1.\n"
READ_FAILED = b"\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1.\n"
# How a map of the disk marks the boot sector and each region's sectors.
BOOT_MARK = "B"
REGION_MARKS = {"PSGDRV": "1", "OPMDRV": "2", "PSGMUS": "3", "OPMMUS": "4"}
KINDS = ["sample", "gap", "other", "shuffled", "several", "longtrack", "headers"] + [f"random:{n}" for n in range(200)]
AT_ONCE = 200


def listing_disks(text):
    """The text listing as [(disk line, header line, boot line, {track: [ids]})]."""
    disks = []
    for line in text.split(b"\n"):
        if line.startswith(b"disk "):
            disks.append([line, None, None, {}])
        elif line.startswith(b"  header: "):
            disks[-1][1] = line[len(b"  header: "):]
        elif line.startswith(b"  boot: "):
            disks[-1][2] = line[len(b"  boot: "):]
        elif line.startswith(b"  track "):
            head, ids = line[len(b"  track "):].split(b":", 1)
            disks[-1][3][int(head)] = ids.split()
    return disks


def header_line(disk):
    """The listing's header line for the document's disk."""
    fault = disk["header"].get("fault")
    return {None: b"D88",
            "write_protect": b"not D88 (write protect 0x%02X)" % disk["write_protect"],
            "media_type": b"not D88 (media type 0x%02X)" % disk["media_type"],
            "size": b"not D88 (size %d)" % disk["size"],
            "track_offset": b"not D88 (track offset)"}[fault]


def check_against_listing(document, text, where):
    listed = listing_disks(text)
    assert len(listed) == len(document["disks"]), f"{where}: disk counts differ"
    for disk, (line, header, boot, tracks) in zip(document["disks"], listed):
        name = bytes.fromhex(disk["name"]["listing_hex"])
        expected = b'disk %d: "%s" media 0x%02X size %d' % (
            disk["index"], name, disk["media_type"], disk["size"])
        assert line == expected, f"{where}: {line!r} != {expected!r}"
        assert header == header_line(disk), f"{where}: header {header!r} != {header_line(disk)!r}"
        state = disk["boot"]["state"]
        shown = {"name": b'"' + disk["boot"]["text"].encode() + b'"',
                 "too_short": b"too short (%d bytes)" % disk["boot"]["bytes"], "none": b"none"}[state]
        assert boot == shown, f"{where}: boot {boot!r} != {shown!r}"
        ids = {track["index"]: [b"%02X/%02X/%02X/%02X" % (r["c"], r["h"], r["r"], r["n"])
                                for r in track["records"]] for track in disk["tracks"]}
        assert ids == tracks, f"{where}: disk {disk['index']}: records differ from the listing"


def check_marks(document, where):
    """The first copy of the boot sector's ID on track 0 is marked B, and on
    the game's disk A the first copy of each sector a region reads carries
    the region's mark (the boot sector's wins); no other record is marked."""
    for disk in document["disks"]:
        wanted = {(0, 0, 0, 1, 1): BOOT_MARK}
        for region in disk.get("regions", []):
            for sector in region["sectors"]:
                key = (sector["track"], sector["c"], sector["h"], sector["r"], sector["n"])
                wanted.setdefault(key, REGION_MARKS[region["file"]])
        for track in disk["tracks"]:
            seen = set()
            for record in track["records"]:
                key = (track["index"], record["c"], record["h"], record["r"], record["n"])
                expected = None if key in seen else wanted.get(key)
                seen.add(key)
                assert record.get("mark") == expected, (
                    f"{where}: disk {disk['index']} {key}: mark {record.get('mark')!r} != {expected!r}")


def check_against_soundcut(document, said, where):
    blocks = said.split(RECOGNISED)[1:]
    game = [disk for disk in document["disks"] if disk["is_game_disk_a"]]
    assert len(blocks) == len(game), f"{where}: {len(blocks)} recognised, {len(game)} game disks"
    for disk, block in zip(game, blocks):
        for region in disk["regions"]:
            lacking = any(sector["state"] != "ok" for sector in region["sectors"])
            unread = region["file"].encode() + CANNOT_READ in block
            assert lacking == unread, f"{where}: disk {disk['index']} {region['file']}"


def check_outcome(write_outcome, validators, image, document, where):
    """The outcome of soundcut's run, as the page gets it: valid, its disk
    A's those of the document, each file's source the file on disk, and
    each file's SHA-256 (by Python's own) that of the outcome and of the
    document's region on the disk it came from."""
    folder = os.path.join(os.path.dirname(image), "outcome-" + os.path.basename(image))
    os.makedirs(folder, exist_ok=True)
    subprocess.run([write_outcome, os.path.abspath(image), "outcome.json", "facts.json"], cwd=folder,
                   check=True, capture_output=True)
    with open(os.path.join(folder, "outcome.json"), "rb") as stream:
        outcome = json.load(stream)
    with open(os.path.join(folder, "facts.json"), "rb") as stream:
        validators["facts"].validate(json.load(stream))
    validators["outcome"].validate(outcome)
    game = [disk["index"] for disk in document["disks"] if disk["is_game_disk_a"]]
    assert outcome["recognised"] == game, f"{where}: {outcome['recognised']} != {game}"
    regions = {(disk["index"], region["file"]): region for disk in document["disks"]
               for region in disk.get("regions", [])}
    for region in regions.values():
        whole = all(sector["state"] == "ok" for sector in region["sectors"])
        assert (region["sha256"] is not None) == whole, f"{where}: {region['file']}"
    for entry in outcome["files"]:
        path = os.path.join(folder, entry["file"])
        size = os.path.getsize(path) if os.path.exists(path) else None
        assert size == (None if entry["from"] is None else entry["bytes"]), f"{where}: {entry}"
        if size is not None:
            with open(path, "rb") as stream:
                digest = hashlib.sha256(stream.read()).hexdigest()
            region = regions[(entry["from"], entry["file"])]
            assert digest == entry["sha256"] == region["sha256"], f"{where}: {entry['file']}"
    # Each later disk's failure names the sectors the document finds not whole.
    for entry in outcome["files"]:
        for failure in entry["failures"]:
            region = regions[(failure["disk"], entry["file"])]
            lacking = [dict(sector) for sector in region["sectors"] if sector["state"] != "ok"]
            assert failure.get("sectors", []) == lacking, f"{where}: {entry['file']} {failure}"
    every = all(entry["from"] is not None for entry in outcome["files"])
    if game:
        expected = "cut" if every else "partly_cut"
    elif os.path.getsize(image) == 0:
        expected = "empty"
    else:
        d88 = bool(document["disks"]) and document["disks"][0]["header"]["d88"]
        expected = "no_disk_a" if d88 else "not_d88_image"
    assert outcome["verdict"] == expected, f"{where}: {outcome['verdict']} != {expected}"


def check_outcome_after_failed_reads(write_outcome, validators, image, failing_fread):
    """A read failing from each fread on: the outcome says so; with no disk A
    found before it the verdict is read_failed, and a region the run never
    reached is named as such."""
    folder = os.path.join(os.path.dirname(image), "outcome-failing")
    os.makedirs(folder, exist_ok=True)
    verdicts, whys = set(), set()
    for k in range(1, 1000):
        env = dict(os.environ, LD_PRELOAD=failing_fread, FAILING_FREAD_FROM=str(k))
        for name in REGION_MARKS:
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        subprocess.run([write_outcome, os.path.abspath(image), "outcome.json", "facts.json"], cwd=folder,
                       env=env, check=True, capture_output=True)
        with open(os.path.join(folder, "outcome.json"), "rb") as stream:
            outcome = json.load(stream)
        validators["outcome"].validate(outcome)
        for entry in outcome["files"]:
            written = os.path.exists(os.path.join(folder, entry["file"]))
            assert written == (entry["from"] is not None), f"fread failing from {k}: {entry}"
        if not outcome["read_failed"]:
            break
        assert outcome["exit_status"] == 1, f"fread failing from {k}"
        assert (outcome["verdict"] == "read_failed") == (not outcome["recognised"]), f"fread failing from {k}"
        verdicts.add(outcome["verdict"])
        whys.update(failure["why"] for entry in outcome["files"] for failure in entry["failures"])
    assert "read_failed" in verdicts and {"read_failed", "not_reached"} <= whys, f"{verdicts} {whys}"


def check_many_at_once(d88list, make_image, folder, alone):
    for n in range(len(KINDS), AT_ONCE):
        image = os.path.join(folder, f"more_{n}.d88")
        subprocess.run([make_image, image, f"random:{n}"], check=True, capture_output=True)
        alone[image] = subprocess.run([d88list, "--json", image], capture_output=True).stdout
    images = list(alone)
    start = time.monotonic()
    run = subprocess.run([d88list, "--json"] + images, capture_output=True)
    took = time.monotonic() - start
    assert run.returncode == 0 and run.stderr == b"", f"{run.returncode} {run.stderr!r}"
    lines = run.stdout.split(b"\n")
    assert lines.pop() == b"" and len(lines) == len(images), f"{len(lines)} lines for {len(images)} images"
    for image, line in zip(images, lines):
        assert line + b"\n" == alone[image], f"{image}: not its document alone"
    print(f"{len(images)} images at once: one line each, as alone, in {took:.2f} s")


def main():
    d88list, soundcut, make_image, schema_path, folder, write_outcome = sys.argv[1:7]
    failing_fread = sys.argv[9] if len(sys.argv) > 9 else None

    def validator_of(path):
        with open(path, encoding="utf-8") as stream:
            return jsonschema.Draft202012Validator(json.load(stream))
    validator = validator_of(schema_path)
    validators = {"outcome": validator_of(sys.argv[7]), "facts": validator_of(sys.argv[8])}
    os.makedirs(folder, exist_ok=True)
    alone = {}
    for kind in KINDS:
        image = os.path.join(folder, re.sub(r"\W", "_", kind) + ".d88")
        subprocess.run([make_image, image, kind], check=True, capture_output=True)
        run = subprocess.run([d88list, "--json", image], capture_output=True)
        assert run.returncode == 0 and run.stderr == b"", f"{kind}: {run.returncode} {run.stderr!r}"
        alone[image] = run.stdout
        document = json.loads(run.stdout)
        validator.validate(document)
        assert document["image"] == image and not document["read_failed"], kind
        assert bytes.fromhex(document["image_hex"]) == image.encode() and document["opened"], kind
        check_against_listing(document, subprocess.run([d88list, image], capture_output=True).stdout, kind)
        check_marks(document, kind)
        said = subprocess.run([soundcut, os.path.abspath(image)], cwd=folder, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT).stdout
        check_against_soundcut(document, said, kind)
        check_outcome(write_outcome, validators, image, document, kind)
    print(f"{len(KINDS)} images: valid, as listed, marked, as soundcut cut them, with their outcome")
    check_many_at_once(d88list, make_image, folder, alone)
    if failing_fread:
        image = os.path.join(folder, "several.d88")
        for k in (1, 3, 10, 40):
            env = dict(os.environ, LD_PRELOAD=failing_fread, FAILING_FREAD_FROM=str(k))
            run = subprocess.run([d88list, "--json", image], capture_output=True, env=env)
            document = json.loads(run.stdout)
            validator.validate(document)
            assert run.returncode == 1 and run.stderr == READ_FAILED, f"fread failing from {k}"
            assert document["read_failed"] and document["exit_status"] == 1, f"fread failing from {k}"
        check_outcome_after_failed_reads(write_outcome, validators, image, failing_fread)
        # Among several images, the message names the image and the next follows.
        env = dict(os.environ, LD_PRELOAD=failing_fread, FAILING_FREAD_FROM="3")
        run = subprocess.run([d88list, "--json", image, image], capture_output=True, env=env)
        named = image.encode() + b": " + READ_FAILED
        assert run.returncode == 1 and run.stderr == named * 2, f"{run.returncode} {run.stderr!r}"
        assert [json.loads(line)["read_failed"] for line in run.stdout.splitlines()] == [True, True]
        print("a failed read ends a whole document")
    return 0


if __name__ == "__main__":
    sys.exit(main())
