"""End to end: the real editor against the simulated instrument (sim/README.md), in an X display
of its own, used as a person would use it: start, connect, an edit on each kind of control, undo,
save and open a project, upload a tonewheel through the TONEWHEEL menu, store, reset, quit. What
to click comes from the editor itself (`KestraEditor --print-layout`); after each step the
simulated instrument's log must show the expected exchange.

    KESTRA_EDITOR=build/KestraEditor pytest-3 -x tests/e2e

The steps run in order on one editor. Needs Xvfb, xdotool and python3-xlib
(scripts/install-deps.sh), but no display of the caller's.
"""

import json
import os
import struct
import subprocess
import time
from pathlib import Path

import pytest
from Xlib import X, Xatom, display, protocol

EDITOR = Path(os.environ.get("KESTRA_EDITOR", Path(__file__).parents[2] / "build/KestraEditor"))
MAIN_WINDOW = r"^Kestra Editor v1\.00$"
BOX = r"^Kestra Editor$"  # every notice, question and progress box
MENU = r"^menu$"  # a selector's list, the TONEWHEEL menu
TIMEOUT = 20  # seconds for anything to happen

# What the log shows, one message a line: "<ms> in <bytes>" the editor sent, "<ms> out <bytes>"
# the instrument did.
IDENTITY_REQUEST = " in F0 7D 1E 06 01 F7"  # also the heartbeat's, every 3 s
IDENTITY_REPLY = " out F0 7D 1E 07 "
DONE = " out F0 7D 1E 05 F7"


def value_sent(number):  # a ParameterValueMessage, parameters 0 ... 84
    return f" in F0 7D 1E 01 {number:02X} "


def byte_sent(number, value):  # a ParameterByteMessage, parameters 85 ... 98
    return f" in F0 7D 1E 02 {number - 85:02X} {value:02X} F7"


def xdotool(*args):
    command = ["xdotool", *map(str, args)]
    return subprocess.run(command, capture_output=True, text=True, timeout=TIMEOUT).stdout


class Editor:
    """The editor's process and windows, the hand at its mouse and keyboard, and the log."""

    def __init__(self, work, arguments=()):
        self.work = work
        self.log = work / "simulator.log"
        self.main = None
        self.x = display.Display()
        # The editor looks these up, without making them, when it starts: a window manager
        # would have made them, and without them it would not understand the close button.
        for atom in ("WM_PROTOCOLS", "WM_DELETE_WINDOW"):
            self.x.intern_atom(atom)
        self.wake_property = self.x.intern_atom("_KESTRA_E2E_WAKE")
        self.x.sync()
        printed = subprocess.run([EDITOR, "--print-layout"], capture_output=True, check=True)
        self.size = json.loads(printed.stdout)
        self.layout = {c["id"]: c for c in self.size.pop("components")}
        # With no zenity or kdialog on its PATH, the editor shows JUCE's own file chooser.
        (work / "no-programs").mkdir()
        environment = dict(os.environ, PATH=str(work / "no-programs"),
                           XDG_CONFIG_HOME=str(work / "config"),
                           KESTRA_EDITOR_SIMULATOR=f"log={self.log}")
        self.output = open(work / "editor.out", "w")
        self.process = subprocess.Popen([EDITOR, *arguments], env=environment,
                                        stdout=self.output, stderr=subprocess.STDOUT)
        self.main = self.wait_for_window(MAIN_WINDOW)

    # ---- waiting ----------------------------------------------------------------------------

    def wait_until(self, condition, what):
        end = time.monotonic() + TIMEOUT
        while not (result := condition()):
            assert self.process.poll() is None, f"the editor ended: {self.editor_output()}"
            if time.monotonic() > end:
                shot = self.work / "failure.png"
                subprocess.run(["import", "-window", "root", shot])
                pytest.fail(f"no {what} (the screen: {shot}); the log ends:\n{self.log_tail()}")
            self.wake()
            time.sleep(0.05)
        return result

    def wake(self):
        """Xlib may read input meant for the editor while the editor's own calls wait for the X
        server (a timer asking where the pointer is); the editor's event loop then sees it only
        once the next event arrives. A change of a property of its window is such an event,
        and changes nothing else."""
        if self.main:
            window = self.x.create_resource_object("window", self.main)
            window.change_property(self.wake_property, Xatom.STRING, 8, b"")
            self.x.flush()

    def windows(self, name):
        return [int(w) for w in xdotool("search", "--onlyvisible", "--name", name).split()]

    def wait_for_window(self, name):
        return self.wait_until(lambda: self.windows(name), f"window {name}")[0]

    def wait_for_no_window(self, name):
        self.wait_until(lambda: not self.windows(name), f"end of the window {name}")

    # ---- the simulated instrument's log -----------------------------------------------------

    def mark(self):
        return len(self.lines())

    def lines(self, since=0):
        return self.log.read_text().splitlines()[since:] if self.log.exists() else []

    def sent(self, since):
        """What the editor sent after the mark `since`, without the heartbeat."""
        return [line for line in self.lines(since)
                if " in " in line and IDENTITY_REQUEST not in line]

    def expect(self, since, *messages):
        """Waits until the log shows the messages, in this order, after the mark `since`."""

        def found():
            lines, at = self.lines(since), 0
            for message in messages:
                at = next((i for i in range(at, len(lines)) if message in lines[i]), None)
                if at is None:
                    return False
            return True

        self.wait_until(found, f"{' ... '.join(messages)} in the log")

    def expect_nothing_sent(self, since, seconds):
        """Nothing sent after the mark `since` for that long."""
        time.sleep(seconds)
        assert self.sent(since) == [], "the editor sent something"

    def log_tail(self):
        return "\n".join(self.lines()[-10:])

    def editor_output(self):
        return (self.work / "editor.out").read_text()

    # ---- the hand ---------------------------------------------------------------------------

    def point(self, id, across=0.5):
        """The window's point `across` the width of the component `id`, at half its height."""
        b = self.layout[id]["bounds"]
        return round(b["x"] + b["width"] * across), b["y"] + b["height"] // 2

    def click(self, id, across=0.5, clicks=1):
        xdotool("mousemove", "--window", self.main, *self.point(id, across),
                "click", "--repeat", clicks, "--delay", 80, 1)

    def drag(self, id, start, end):
        """Presses at `start` across the component `id`, moves to `end` in one go, releases:
        one value on the way."""
        (x0, y), (x1, _) = self.point(id, start), self.point(id, end)
        xdotool("mousemove", "--window", self.main, x0, y, "mousedown", 1,
                "mousemove", "--window", self.main, x1, y, "mouseup", 1)

    def show(self, id):
        """Shows the page, and the view of it, that the control `id` is on."""
        place = self.layout[id]
        self.click(f"page-{place['page']}")
        for view in place["views"][:1]:
            button = next(b for b, c in self.layout.items() if b.startswith("view-")
                          and c["page"] == place["page"] and b.endswith("-" + view))
            self.click(button)

    def keys(self, *keys, window=None):
        xdotool("windowfocus", "--sync", window or self.main, "key", "--delay", 20, *keys)

    def type(self, text, window=None):
        xdotool("windowfocus", "--sync", window or self.main, "type", "--delay", 5, "--", text)

    def choose(self, id, downs):
        """Opens the selector `id` and picks the item `downs` below the one it shows."""
        self.click(id)
        self.wait_for_window(MENU)
        self.keys(*["Down"] * downs, "Return")
        self.wait_for_no_window(MENU)

    def answer_box(self, button, focused=0):
        """Presses button `button` (0: the leftmost) of the open box, whose button `focused`
        has the keyboard focus as it opens ("No", 1, in a question that destroys something)."""
        box = self.wait_for_window(BOX)
        moves = ["Tab"] * (button - focused) if button >= focused else ["shift+Tab"] * (focused - button)
        self.keys(*moves, "Return", window=box)
        self.wait_until(lambda: box not in self.windows(BOX), "end of the box")

    def choose_file(self, title, path):
        """Types the full path into JUCE's file chooser: the first Return goes to the folder,
        the second takes the file."""
        chooser = self.wait_for_window(f"^{title}$")
        # A click into its list of files, the middle, and Tab to the "file:" box.
        geometry = self.x.create_resource_object("window", chooser).get_geometry()
        xdotool("mousemove", "--window", chooser, geometry.width // 2,
                geometry.height // 2, "click", 1)
        self.keys("Tab", window=chooser)
        self.type(str(path), window=chooser)
        self.keys("Return", "Return", window=chooser)
        self.wait_for_no_window(f"^{title}$")

    def close(self):
        """The window's close button, as a window manager reports it."""
        window = self.x.create_resource_object("window", self.main)
        protocols = self.x.intern_atom("WM_PROTOCOLS")
        close = self.x.intern_atom("WM_DELETE_WINDOW")
        window.send_event(protocol.event.ClientMessage(
            window=window, client_type=protocols, data=(32, [close, X.CurrentTime, 0, 0, 0])))
        self.x.flush()


@pytest.fixture(scope="module")
def editor(tmp_path_factory):
    work = tmp_path_factory.mktemp("e2e")
    # A display of its own: Xvfb takes the first free number and reports it.
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=[write],
                            stderr=subprocess.DEVNULL)
    os.close(write)
    number = os.read(read, 16).decode().strip()
    assert number, "Xvfb did not start"
    os.environ["DISPLAY"] = f":{number}"
    editor = None
    try:
        editor = Editor(work)
        yield editor
    finally:
        if editor and editor.process.poll() is None:
            editor.process.kill()
            editor.process.wait()
        if editor:
            editor.output.close()
        xvfb.terminate()
        xvfb.wait()


# ---- the run, step by step --------------------------------------------------------------------


def test_start(editor):
    window = editor.x.create_resource_object("window", editor.main).get_geometry()
    assert (window.width, window.height) == (editor.size["width"], editor.size["height"])
    assert editor.sent(0) == []


def test_connect(editor):
    m = editor.mark()
    editor.click("connect")
    editor.expect(m, IDENTITY_REQUEST, IDENTITY_REPLY,
                  " in F0 7D 1E 04 7D F7", " in F0 7D 1E 04 7E F7",  # DumpRequests
                  " in F0 7D 1E 04 7C F7", " out F0 7D 1E 09 05 ")  # ... the last slot's name
    editor.wait_for_no_window(BOX)  # "searching"


def test_typed_value(editor):
    m = editor.mark()
    editor.show("4")  # Pedals Level
    editor.click("4")  # its value box opens
    editor.type("-3")
    editor.keys("Return")
    editor.expect(m, value_sent(4))


def test_double_click_returns_to_default(editor):
    m = editor.mark()
    editor.click("4", across=0.25, clicks=2)
    # 6.0 dB, its default: the float 0x40C00000 in five 7-bit groups, low first.
    editor.expect(m, " in F0 7D 1E 01 04 00 00 00 00 06 04 F7")
    assert len(editor.sent(m)) == 1


def test_slider_drag(editor):
    m = editor.mark()
    editor.show("58")  # Horn Level, in the Rotary page's CLASSIC view
    editor.drag("58", 0.1, 0.8)
    editor.expect(m, value_sent(58))


def test_undo(editor):
    # Before the drag the slider held what the instrument reported in the handshake.
    before = [line.split(" out ")[1] for line in editor.lines()
              if " out F0 7D 1E 01 3A " in line][-1]
    m = editor.mark()
    editor.keys("ctrl+z")
    editor.expect(m, " in " + before)
    assert len(editor.sent(m)) == 1


def test_selector_choice(editor):
    m = editor.mark()
    editor.show("97")
    editor.choose("97", downs=2)  # Tonewheel Model: from FAC3 (2), its default, to ALT2 (4)
    editor.expect(m, byte_sent(97, 4))


def test_save_project(editor):
    m = editor.mark()
    editor.click("save")
    editor.choose_file("Save Project File", editor.work / "song")  # the editor adds ".tkp"
    project = editor.work / "song.tkp"
    editor.wait_until(lambda: project.exists() and project.stat().st_size == 416, "project file")
    data = project.read_bytes()
    assert data[:4] == bytes([0x63, 0x19, 0x07, 0x27])
    assert struct.unpack_from("<f", data, 20 + 4 * 97) == (4.0,)  # the Tonewheel Model
    assert editor.sent(m) == []


def test_open_project(editor):
    m = editor.mark()
    editor.click("open")
    editor.choose_file("Open Project File", editor.work / "song.tkp")
    # The whole project goes to the instrument, in bulk mode.
    editor.expect(m, " in F0 7D 1E 0A 01 F7", byte_sent(97, 4), " in F0 7D 1E 0A 00 F7")
    sent = editor.sent(m)
    assert sum(" in F0 7D 1E 01 " in line for line in sent) == 85
    assert sum(" in F0 7D 1E 02 " in line for line in sent) == 14
    editor.wait_for_no_window(BOX)  # "transmitting"


def test_upload_tonewheel(editor):
    tonewheel = editor.work / "wheel.ktw"
    tonewheel.write_bytes(bytes([0x63, 0x19, 0x07, 0x27]) + bytes(28)  # the magic, unread
                          + b"E2E WHEEL".ljust(32, b"\0") + b"K" * 300)  # name, data
    m = editor.mark()
    editor.click("tonewheel")
    editor.wait_for_window(MENU)
    editor.keys("Down", "Down", "Return")  # "Upload to ALT2 - ..."
    editor.choose_file("Load Tonewheel File", tonewheel)
    editor.answer_box(0, focused=1)  # "Yes", replace it
    editor.expect(m, " in F0 7E 00 07 01 00 41 43 32 ",  # File Dump header for "AC2"
                  " in F0 7E 00 7B ",  # EOF
                  " out F0 7D 1E 09 04 45 32 45 20 57 48 45 45 4C 00 F7",  # slot 4 "E2E WHEEL"
                  " in F0 7D 1E 04 7C F7", " out F0 7D 1E 09 05 ")  # the handshake again
    editor.wait_for_no_window(BOX)  # "transmitting"


def test_store(editor):
    m = editor.mark()
    editor.click("store")
    editor.expect(m, " in F0 7D 1E 03 ", DONE)
    editor.answer_box(0)  # the notice's "OK"


def test_reset_declined(editor):
    m = editor.mark()
    editor.click("reset")
    editor.answer_box(1, focused=1)  # "No", where the focus starts
    editor.expect_nothing_sent(m, seconds=1)


def test_reset(editor):
    m = editor.mark()
    editor.click("reset")
    editor.answer_box(0, focused=1)  # "Yes"
    editor.expect(m, " in F0 7D 1E 08 ", " out F0 7D 1E 02 0C 02 F7", DONE)  # 97 back to 2
    editor.answer_box(0)  # the notice's "OK"


def test_quit(editor):
    editor.close()
    assert editor.process.wait(TIMEOUT) == 0


# ---- files named on the command line, each in an editor of its own -------------------------------


def start_with(editor, name, argument):
    work = editor.work / name
    work.mkdir()
    return Editor(work, [argument])


def test_a_fifo_on_the_command_line_is_not_valid_at_once(editor):
    """Nothing waits for a writer: the window shows the "not valid" box and goes on."""
    fifo = editor.work / "fifo.tkp"
    os.mkfifo(fifo)
    second = start_with(editor, "fifo-run", str(fifo))
    second.answer_box(0)  # "The selected file is not valid." and its "OK"
    second.close()
    assert second.process.wait(TIMEOUT) == 0
    second.output.close()


def test_a_name_that_is_not_utf8_opens_the_file_of_its_bytes(editor):
    """A Latin-1 name with a byte JUCE would decode past its end: the project of exactly those
    bytes opens (no box: it is valid, and no file of any other name exists)."""
    name = os.fsencode(editor.work) + b"/a\x80bcdef Kl\xe4nge.tkp"
    with open(name, "wb") as project:
        project.write((editor.work / "song.tkp").read_bytes())  # saved by test_save_project
    second = start_with(editor, "latin1-run", name)
    time.sleep(1.5)
    assert second.windows(BOX) == [] and second.process.poll() is None
    second.close()
    assert second.process.wait(TIMEOUT) == 0
    second.output.close()
