# SPDX-License-Identifier: GPL-3.0-or-later
"""The real Talvence as a user opens a file with it, for the peers'
benchmarks: started in a folder that holds the file alone (a link to it),
"Start" clicked as soon as its frame is mapped, the file clicked in the file
list as soon as that is drawn. Needs xdotool, xwininfo, xwd and a window
manager on the display."""
import os, shutil, struct, subprocess, tempfile, time

def white_at(display, x, y):
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display],
                          capture_output=True).stdout
    f = struct.unpack(">25I", data[:100])
    header, bpp, bpl, ncolors = f[0], f[11], f[12], f[19]
    at = header + 12 * ncolors + y * bpl + x * (bpp // 8)
    return data[at:at + 3] == b"\xff\xff\xff"

class Opened:
    """The program with `path` clicked: its process, when it started, when
    the click came, and where its frame stands (fx, fy)."""

    def __init__(self, program, path, display):
        self.folder = tempfile.mkdtemp(prefix="talvence-peers-")
        os.symlink(os.path.abspath(path), os.path.join(self.folder, os.path.basename(path)))
        self.home = tempfile.mkdtemp(prefix="talvence-peers-home-")
        home = self.home
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=home,
                   XDG_CONFIG_HOME=home + "/config", XDG_STATE_HOME=home + "/state")
        xdo = lambda *a: subprocess.run(["xdotool", *a], env=env, capture_output=True,
                                        text=True).stdout.split()
        self.start = time.monotonic()
        self.process = subprocess.Popen([os.path.abspath(program)], cwd=self.folder, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        frame = []
        while not frame and time.monotonic() - self.start < 60:
            frame = xdo("search", "--onlyvisible", "--name", "Talvence")
        geometry = subprocess.run(["xwininfo", "-id", frame[0]], env=env, capture_output=True,
                                  text=True).stdout
        self.fx = int(geometry.split("Absolute upper-left X:")[1].split()[0])
        self.fy = int(geometry.split("Absolute upper-left Y:")[1].split()[0])
        xdo("mousemove", str(self.fx + 22), str(self.fy + 10), "click", "1")  # "Start"
        # The rename window is drawn once its file list is white.
        while not white_at(display, self.fx + 400, self.fy + 300):
            if time.monotonic() - self.start > 60:
                break
        xdo("mousemove", str(self.fx + 260), str(self.fy + 211), "click", "1")  # the file
        self.clicked = time.monotonic()

    def close(self):
        self.process.terminate()
        self.process.wait()
        shutil.rmtree(self.folder)
        shutil.rmtree(self.home)
