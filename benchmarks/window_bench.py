#!/usr/bin/python3
"""What a user waits for, measured on the real window under Xvfb: an XTest click on
"Start Finding" until the "Done." box maps, for a first and a repeated search, beside one
exiftool batch over the same files; and a click on "Help" during a long run until its notice
maps.

Usage: xvfb-run -a -s "-screen 0 1280x1024x24" benchmarks/window_bench.py BUILD_DIR [COPIES]
The images are the test corpus copied COPIES times (default 21: 441 files) into a temp folder.
Needs Debian's python3-xlib.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

from Xlib import X, XK, display
from Xlib.ext import xtest

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "..", "tests", "data", "corpus")


def make_library(folder, copies):
    images = sorted(glob.glob(os.path.join(CORPUS, "*.jpg")))
    for copy in range(copies):
        target = os.path.join(folder, "copy%02d" % copy)
        os.makedirs(target)
        for image in images:
            shutil.copy(image, target)
    return sorted(glob.glob(os.path.join(folder, "*", "*.jpg")))


class Window:
    def __init__(self, build, folder):
        self.display = display.Display()
        self.root = self.display.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.process = subprocess.Popen(
            [os.path.join(build, "benchmarks", "tagsifter_bench"), "window", folder],
            stdout=subprocess.PIPE, text=True,
            env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
        words = self.process.stdout.readline().split()
        assert words and words[0] == "ready", words
        self.images = int(words[1])
        self.start = (int(words[2]), int(words[3]))
        self.help = (int(words[4]), int(words[5]))
        self.drain()

    def drain(self):
        while self.display.pending_events():
            self.display.next_event()

    def click(self, where):
        xtest.fake_input(self.display, X.MotionNotify, x=where[0], y=where[1])
        xtest.fake_input(self.display, X.ButtonPress, 1)
        xtest.fake_input(self.display, X.ButtonRelease, 1)
        self.display.sync()

    def press_return(self):
        key = self.display.keysym_to_keycode(XK.string_to_keysym("Return"))
        xtest.fake_input(self.display, X.KeyPress, key)
        xtest.fake_input(self.display, X.KeyRelease, key)
        self.display.sync()

    def wait_for(self, kind):
        """Seconds until a top-level window maps (kind MapNotify) or unmaps."""
        began = time.perf_counter()
        while True:
            event = self.display.next_event()
            if event.type == kind:
                return time.perf_counter() - began

    def click_until_box(self, where):
        self.drain()
        began = time.perf_counter()
        self.click(where)
        self.wait_for(X.MapNotify)
        return time.perf_counter() - began

    def close_box(self):
        time.sleep(0.2)  # the box takes the keyboard focus once it is shown
        self.drain()
        self.press_return()
        self.wait_for(X.UnmapNotify)

    def cpu_seconds(self):
        """User and system time the window's process has used so far."""
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def end(self):
        self.process.kill()
        self.process.wait()


def main():
    build = os.path.abspath(sys.argv[1])
    # Settings and a dump cache of the benchmark's own: the first search reads every image.
    home = tempfile.TemporaryDirectory()
    os.environ["XDG_CACHE_HOME"] = os.path.join(home.name, "cache")
    os.environ["XDG_CONFIG_HOME"] = os.path.join(home.name, "config")
    copies = int(sys.argv[2]) if len(sys.argv) > 2 else 21
    with tempfile.TemporaryDirectory() as folder:
        files = make_library(folder, copies)
        began = time.perf_counter()
        subprocess.run(["exiftool"] + files, stdout=subprocess.DEVNULL, check=False)
        batch = time.perf_counter() - began

        window = Window(build, folder)
        time.sleep(1)  # the sessions start as the list gets its rows, before the click
        cpu = window.cpu_seconds()
        first = window.click_until_box(window.start)
        cpu = window.cpu_seconds() - cpu
        window.close_box()
        repeated = window.click_until_box(window.start)
        window.close_box()
        window.end()
        print("window: %d images; one exiftool batch %.2f s" % (len(files), batch))
        print("window: first search, click to \"Done.\": %.3f s = %.2fx of exiftool "
              "(the window's own process used %.2f s of CPU)" % (first, first / batch, cpu))
        print("window: repeated search, click to \"Done.\": %.3f s = %.3fx of exiftool"
              % (repeated, repeated / batch))

    # Responsiveness: "Help" clicked during a first run over about 2,000 images.
    with tempfile.TemporaryDirectory() as folder:
        files = make_library(folder, 96)
        window = Window(build, folder)
        time.sleep(1)
        window.drain()
        window.click(window.start)
        time.sleep(1.0)
        help_shown = window.click_until_box(window.help)
        window.end()
        print("window: %d images; a click on Help during the run shows its notice in %.0f ms"
              % (len(files), help_shown * 1000))


if __name__ == "__main__":
    main()
