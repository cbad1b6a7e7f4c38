#!/usr/bin/env python3
"""Kills a cross-file-system `korvel-tool move` of a folder of files with SIGKILL at random
moments and checks by hash that no file is lost or left partial under its final name.

Each run moves a fresh folder (photo-sized files, a few large ones so that kills land inside a
copy, and a subfolder) from the disk to a tmpfs or back (the direction alternates), kills the
tool after a random delay, and checks every file: it must exist complete in the source or in the
target (complete in both is allowed), and no file of a final name may be partial. Hidden
temporary files are counted. Then the same move is run again to its end (--on-conflict replace)
and checked: every file complete in the target, none left in the source, and how many hidden
temporary files are still there, which tells whether a later run cleans them.

Usage: kill_check.py [--runs 50] [--files 120] [--seed 1]
Needs a Release korvel-tool (KORVEL_TOOL, default build/tools/korvel-tool). As root it mounts
its own tmpfs; otherwise it uses /dev/shm. Exit status 1 when any check failed."""
import argparse
import hashlib
import os
import random
import shutil
import signal
import subprocess
import sys
import time

root = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
tool = os.path.realpath(os.environ.get("KORVEL_TOOL", os.path.join(root, "build/tools/korvel-tool")))
out = os.path.join(root, "bench/out/fileops/kill")


def is_temp(name):
    return name.startswith(".korvel-") and name.endswith(".part")


def make_pristine(folder, count, rnd):
    os.makedirs(os.path.join(folder, "sub"))
    for i in range(count):
        rel = ("sub/" if i % 10 == 9 else "") + "IMG_%04d.jpg" % i
        size = 24 << 20 if i % 40 == 0 else rnd.randrange(100 << 10, 3 << 20)
        with open(os.path.join(folder, rel), "wb") as f:
            f.write(os.urandom(size))


def walk(folder):
    """relative path -> sha256 of every file below folder, hidden temporaries apart."""
    files, temps = {}, []
    for d, _, names in os.walk(folder):
        for n in names:
            p = os.path.join(d, n)
            if is_temp(n):
                temps.append(p)
                continue
            with open(p, "rb") as f:
                files[os.path.relpath(p, folder)] = hashlib.sha256(f.read()).hexdigest()
    return files, temps


def check(manifest, src, dst):
    """Counts of: lost, partial under a final name, stray final names, complete in both, temps."""
    s, stemps = walk(src) if os.path.isdir(src) else ({}, [])
    d, dtemps = walk(dst) if os.path.isdir(dst) else ({}, [])
    r = {"lost": 0, "partial": 0, "stray": 0, "both": 0, "temps": len(stemps) + len(dtemps), "in_src": 0}
    for rel, h in manifest.items():
        s_ok, d_ok = s.get(rel) == h, d.get(rel) == h
        r["lost"] += not s_ok and not d_ok
        r["partial"] += (rel in s and not s_ok) + (rel in d and not d_ok)
        r["both"] += s_ok and d_ok
        r["in_src"] += rel in s
    r["stray"] = len([rel for rel in list(s) + list(d) if rel not in manifest])
    return r


def mount_tmpfs(path, mb):
    os.makedirs(path, exist_ok=True)
    if subprocess.run(["mountpoint", "-q", path]).returncode == 0:
        return path, True
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % mb, "korvel-kill", path],
                      stderr=subprocess.DEVNULL).returncode == 0:
        return path, True
    path = "/dev/shm/korvel-kill-%d" % os.getpid()
    os.makedirs(path, exist_ok=True)
    return path, False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=50)
    ap.add_argument("--files", type=int, default=120)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rnd = random.Random(args.seed)

    shutil.rmtree(out, ignore_errors=True)
    pristine = os.path.join(out, "pristine")
    make_pristine(pristine, args.files, rnd)
    manifest, _ = walk(pristine)
    total_mb = sum(os.path.getsize(os.path.join(pristine, p)) for p in manifest) >> 20
    tmpfs, mounted = mount_tmpfs(os.path.join(out, "tmpfs"), 2 * total_mb + 256)
    sides = {"disk": os.path.join(out, "disk"), "tmpfs": os.path.join(tmpfs, "side")}
    print("%d files (%d MB) in a folder with a subfolder; tmpfs: %s" % (
        len(manifest), total_mb, "mounted for this check" if mounted else tmpfs))

    def prepare(frm, to):
        for side in sides.values():
            shutil.rmtree(side, ignore_errors=True)
            os.makedirs(side)
        shutil.copytree(pristine, os.path.join(sides[frm], "photos"))
        os.sync()
        return os.path.join(sides[frm], "photos"), os.path.join(sides[to], "photos")

    def move(frm, to, *extra):
        return subprocess.Popen([tool, "move", *extra, "-o", sides[to], os.path.join(sides[frm], "photos")],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    failures = 0
    try:
        # Two whole moves each way: they must succeed, and the shorter time bounds the random delays.
        length = {"disk": 1e9, "tmpfs": 1e9}
        for frm, to in (("disk", "tmpfs"), ("tmpfs", "disk")) * 2:
            src, dst = prepare(frm, to)
            start = time.monotonic()
            rc = move(frm, to).wait()
            took = time.monotonic() - start
            length[frm] = min(length[frm], took)
            r = check(manifest, src, dst)
            ok = rc == 0 and r["lost"] == r["partial"] == r["stray"] == r["in_src"] == r["temps"] == 0
            failures += not ok
            print("whole move %s -> %s: %.2f s, exit %d, %s" % (frm, to, took, rc, "ok" if ok else r))

        totals = {"killed": 0, "finished": 0, "both": 0, "temps": 0, "temps_after": 0}
        for i in range(args.runs):
            frm, to = ("disk", "tmpfs") if i % 2 == 0 else ("tmpfs", "disk")
            src, dst = prepare(frm, to)
            delay = rnd.uniform(0, length[frm])
            p = move(frm, to)
            time.sleep(delay)
            finished = p.poll() is not None
            if not finished:
                p.send_signal(signal.SIGKILL)
            p.wait()
            killed_at = time.monotonic()
            totals["finished" if finished else "killed"] += 1
            r = check(manifest, src, dst)
            bad = r["lost"] or r["partial"] or r["stray"]
            # The same move again, to its end: it must complete what the killed one left. Korvel
            # leaves temporaries younger than 2 s alone (their writer may not hold its lock yet).
            time.sleep(max(0.0, 2.1 - (time.monotonic() - killed_at)))
            rc = move(frm, to, "--on-conflict", "replace").wait() if os.path.exists(src) else 0
            after = check(manifest, src, dst)
            bad_after = rc != 0 or after["lost"] or after["partial"] or after["stray"] or after["in_src"]
            failures += bool(bad) + bool(bad_after)
            totals["both"] += r["both"]
            totals["temps"] += r["temps"]
            totals["temps_after"] += after["temps"]
            print("run %2d %-5s -> %-5s kill at %.3f s%s: lost %d, partial %d, stray %d, complete in both %d, "
                  "temporaries %d; rerun exit %d, lost %d, partial %d, left in source %d, temporaries %d%s" % (
                      i + 1, frm, to, delay, " (had finished)" if finished else "", r["lost"], r["partial"],
                      r["stray"], r["both"], r["temps"], rc, after["lost"], after["partial"], after["in_src"],
                      after["temps"], "  FAILED" if bad or bad_after else ""))
        print("%d runs: %d killed, %d had finished; files complete in both places %d; hidden temporaries "
              "left by the kills %d, still there after the rerun %d; failed checks %d" % (
                  args.runs, totals["killed"], totals["finished"], totals["both"], totals["temps"],
                  totals["temps_after"], failures))
    finally:
        for side in sides.values():
            shutil.rmtree(side, ignore_errors=True)
        if mounted:
            subprocess.run(["umount", tmpfs])
        else:
            shutil.rmtree(tmpfs, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
