#!/usr/bin/python3
"""What a user waits for, measured on the real window under Xvfb: an XTest click on
"Start Finding" until the "Done." box maps, for a first and a repeated search, a first
search three seconds after the list got its rows (the images read meanwhile) and one clicked as
soon as the list has its rows (beside two exiftool processes with the Composite modules loaded,
half the images each), beside one exiftool batch over the same files; and a click on "Help"
during a long run until its notice maps.

Usage: xvfb-run -a -s "-screen 0 1280x1024x24" benchmarks/window_bench.py BUILD_DIR [COPIES [ROUNDS]]
The images are the test corpus copied COPIES times (default 21: 441 files) into a temp folder;
the searches are timed in ROUNDS rounds (default 7) and the medians shown, beside two bare
exiftool sessions, the least that reading through sessions takes here.
Needs Debian's python3-xlib.
"""
import glob
import os
import select
import shutil
import statistics
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
    def __init__(self, build, folder, later=False):
        """With `later`, the list gets its rows when add_rows() is called."""
        self.display = display.Display()
        self.root = self.display.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.process = subprocess.Popen(
            [os.path.join(build, "benchmarks", "tagsifter_bench"), "window", folder]
            + (["later"] if later else []),
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
            env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
        words = self.process.stdout.readline().split()
        assert words and words[0] == "ready", words
        self.images = int(words[1])
        self.start = (int(words[2]), int(words[3]))
        self.help = (int(words[4]), int(words[5]))
        self.drain()

    def add_rows(self):
        self.process.stdin.write("add\n")
        self.process.stdin.flush()

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


def two_sessions(files):
    """Seconds two bare exiftool sessions take over `files`, each kept two images ahead, with
    nothing else to do: the least a search through sessions can take on this machine."""
    sessions = [subprocess.Popen(["exiftool", "-stay_open", "True", "-@", "-"],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
                for _ in range(2)]
    # Started before the clock, as the window starts its sessions before the click.
    for session in sessions:
        session.stdin.write(b"-ver\n-execute0\n")
    for session in sessions:
        answer = b""
        while b"{ready0}" not in answer:
            answer += os.read(session.stdout.fileno(), 65536)
    began = time.perf_counter()
    waiting = list(files)
    asked = {s.stdout.fileno(): [] for s in sessions}
    output = {s.stdout.fileno(): b"" for s in sessions}
    by_fd = {s.stdout.fileno(): s for s in sessions}
    count = 0

    def ask(session):
        nonlocal count
        count += 1
        session.stdin.write(waiting.pop(0).encode() + b"\n-execute%d\n" % count)
        asked[session.stdout.fileno()].append(b"{ready%d}\n" % count)

    for session in sessions:
        for _ in range(2):
            if waiting:
                ask(session)
    answered = 0
    while answered < len(files):
        ready, _, _ = select.select(list(by_fd), [], [])
        for fd in ready:
            output[fd] += os.read(fd, 65536)
            while asked[fd] and asked[fd][0] in output[fd]:
                output[fd] = output[fd].split(asked[fd].pop(0), 1)[1]
                answered += 1
                if waiting:
                    ask(by_fd[fd])
    elapsed = time.perf_counter() - began
    for session in sessions:
        session.stdin.write(b"-stay_open\nFalse\n")
        session.wait()
    return elapsed


MODULES = ("AIFF APE Apple Canon Exif FLAC FLIR FlashPix GPS ID3 IPTC ISO Kodak MPEG MPF Nikon "
           "Olympus Panasonic PanasonicRaw Parrot PostScript QuickTime RIFF Ricoh Samsung Sony "
           "SonyIDC Vorbis XMP").split()


def loaded_halves(files, folder):
    """Seconds two exiftool processes take, started together, each given half of `files`
    with every module that adds Composite tags loaded first: the least any search through two
    exiftool processes takes here (find_bench.sh's floor)."""
    half = (len(files) + 1) // 2
    lists = []
    for i, part in enumerate((files[:half], files[half:])):
        lists.append(os.path.join(folder, "half%d" % i))
        with open(lists[-1], "w") as out:
            out.write("".join(f + "\n" for f in part))
    uses = [word for module in MODULES for word in ("-use", module)]
    began = time.perf_counter()
    runs = [subprocess.Popen(["exiftool"] + uses + ["-@", name], stdout=subprocess.DEVNULL)
            for name in lists]
    for run in runs:
        run.wait()
    return time.perf_counter() - began


def exiftool_batch(files):
    began = time.perf_counter()
    subprocess.run(["exiftool"] + files, stdout=subprocess.DEVNULL, check=False)
    return time.perf_counter() - began


def one_round(build, folder, files, home, index):
    """One exiftool batch, the two bare sessions, and a new window's first and repeated
    search, each with a dump cache of its own that starts empty, then the batch again: the
    machine's speed drifts within a round too, so the searches are set beside the mean of
    the batch before and after them."""
    os.environ["XDG_CACHE_HOME"] = tempfile.mkdtemp(dir=home)
    before = exiftool_batch(files)
    floor = two_sessions(files)
    window = Window(build, folder)
    time.sleep(1)  # the sessions start as the list gets its rows, before the click
    cpu = window.cpu_seconds()
    first = window.click_until_box(window.start)
    cpu = window.cpu_seconds() - cpu
    window.close_box()
    repeated = window.click_until_box(window.start)
    window.close_box()
    window.end()
    # A user who adds the images and then types for three seconds: the window says it is
    # ready a second after its list got its rows; a new, empty cache.
    os.environ["XDG_CACHE_HOME"] = tempfile.mkdtemp(dir=home)
    window = Window(build, folder)
    time.sleep(2)
    typed = window.click_until_box(window.start)
    window.close_box()
    window.end()
    # A click as soon as the list has its rows, a new, empty cache: the window's own reading,
    # beside find_bench.sh's floor, the two run in turns first.
    os.environ["XDG_CACHE_HOME"] = tempfile.mkdtemp(dir=home)
    at_once = loaded = None
    for turn in ((0, 1) if index % 2 == 0 else (1, 0)):
        if turn == 0:
            window = Window(build, folder, later=True)
            began = time.perf_counter()
            window.add_rows()
            window.click_until_box(window.start)
            at_once = time.perf_counter() - began
            window.close_box()
            window.end()
        else:
            loaded = loaded_halves(files, home)
    batch = (before + exiftool_batch(files)) / 2
    return batch, floor, first, repeated, cpu, typed, at_once, loaded


def main():
    build = os.path.abspath(sys.argv[1])
    copies = int(sys.argv[2]) if len(sys.argv) > 2 else 21
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    # Settings of the benchmark's own.
    home = tempfile.TemporaryDirectory()
    os.environ["XDG_CONFIG_HOME"] = os.path.join(home.name, "config")
    with tempfile.TemporaryDirectory() as folder:
        files = make_library(folder, copies)
        # This machine's speed varies from second to second: each figure is the median of
        # several rounds, and each ratio is taken within a round.
        results = [one_round(build, folder, files, home.name, i) for i in range(rounds)]
        median = statistics.median
        batch = median(r[0] for r in results)
        print("window: %d images, %d rounds; one exiftool batch %.2f s (median of each "
              "round's mean before and after its searches)"
              % (len(files), rounds, batch))
        print("window: two bare exiftool sessions %.2f s = %.2fx of exiftool"
              % (median(r[1] for r in results), median(r[1] / r[0] for r in results)))
        print("window: first search, click to \"Done.\": %.3f s = %.2fx of exiftool "
              "(rounds: %s); the window's own process used %.2f s of CPU"
              % (median(r[2] for r in results), median(r[2] / r[0] for r in results),
                 " ".join("%.2f" % (r[2] / r[0]) for r in results),
                 median(r[4] for r in results)))
        print("window: repeated search, click to \"Done.\": %.3f s = %.3fx of exiftool"
              % (median(r[3] for r in results), median(r[3] / r[0] for r in results)))
        print("window: first search three seconds after the list got its rows, click to "
              "\"Done.\": %.3f s = %.2fx of exiftool (rounds: %s)"
              % (median(r[5] for r in results), median(r[5] / r[0] for r in results),
                 " ".join("%.2f" % (r[5] / r[0]) for r in results)))
        print("window: first search clicked as soon as the list has its rows, rows to "
              "\"Done.\": %.2f s = %.2fx of exiftool; two exiftool processes with half the "
              "images each and the Composite modules loaded %.2fx; the search above them: "
              "median %.3fx (rounds: %s)"
              % (median(r[6] for r in results), median(r[6] / r[0] for r in results),
                 median(r[7] / r[0] for r in results),
                 median((r[6] - r[7]) / r[0] for r in results),
                 " ".join("%.2f" % ((r[6] - r[7]) / r[0]) for r in results)))

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
