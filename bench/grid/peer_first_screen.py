#!/usr/bin/env python3
"""Time for a program started on a folder to settle on its first screen, on a private X server:
the screen is captured every few milliseconds from the start; the result is the time of the first
capture that equals the final one (the screen unchanged for SETTLE seconds). This times the last
visible change, the whole first screen of thumbnails, from the program's own start.

usage: peer_first_screen.py DISPLAY_NUMBER -- COMMAND ARGS...
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import time

SETTLE = 3.0
LIMIT = 60.0


def shot(display):
    raw = subprocess.run(["xwd", "-root", "-silent", "-display", display], capture_output=True).stdout
    return hashlib.md5(raw).hexdigest()


def main():
    number = sys.argv[1]
    command = sys.argv[sys.argv.index("--") + 1:]
    display = ":" + number
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    blank = shot(display)
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, DISPLAY=display, HOME=home, XDG_CACHE_HOME=home + "/cache",
                   XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data")
        start = time.monotonic()
        program = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seen = []  # (seconds, digest) at each change
        last, last_change = blank, start
        while time.monotonic() - start < LIMIT:
            d = shot(display)
            now = time.monotonic()
            if d != last:
                seen.append((now - start, d))
                last, last_change = d, now
            elif seen and now - last_change > SETTLE:
                break
        program.terminate()
        program.wait()
    xvfb.terminate()
    xvfb.wait()
    if not seen:
        print("%s: nothing drawn within %.0f s" % (command[0], LIMIT))
        return 1
    first = seen[0][0]
    settled = next(t for t, d in seen if d == seen[-1][1])
    print("%s: first change %.0f ms, settled %.0f ms after start (%d changes)"
          % (os.path.basename(command[0]), first * 1000, settled * 1000, len(seen)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
