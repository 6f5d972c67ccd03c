"""kestra-cli against the simulated instrument (sim/README.md), with no display: every command's
success, every error path's exit code and text, the simulator's log of what went to the
instrument, and Ctrl+C during an upload.

    KESTRA_CLI=build/kestra-cli pytest-3 tests/cli

Each run of the program is a process of its own with a fresh simulated instrument.
"""

import json
import os
import pty
import select
import shutil
import signal
import struct
import subprocess
import time
from pathlib import Path

import pytest

CLI = Path(os.environ.get("KESTRA_CLI", Path(__file__).parents[2] / "build/kestra-cli"))
TIMEOUT = 60

# Exit codes (cli/ExitCodes.h, docs/cli.md).
OK, FAILED, USAGE, NOT_FOUND, REFUSED, LINK, BAD_FILE, ABORTED, INTERRUPTED = \
    0, 1, 2, 3, 4, 5, 6, 7, 130

# The log, one message a line: "<ms> in <bytes>" the editor sent, "<ms> out <bytes>" the
# instrument did.
CANCEL_SENT = " in F0 7E 00 7D 00 F7"
BULK_ON, BULK_OFF = " in F0 7D 1E 0A 01 F7", " in F0 7D 1E 0A 00 F7"
DATA_PACKET = " in F0 7E 00 07 02 "  # a File Dump data packet
PROJECT_MAGIC = bytes([0x63, 0x19, 0x07, 0x27])


@pytest.fixture
def work(tmp_path):
    return tmp_path


def environment(work, simulator):
    env = dict(os.environ)
    env.pop("DISPLAY", None)  # no display, ever
    env.pop("WAYLAND_DISPLAY", None)
    env["XDG_CONFIG_HOME"] = str(work / "config")  # the stored port pair: the test's own
    if simulator is not None:
        env["KESTRA_EDITOR_SIMULATOR"] = simulator
    else:
        env.pop("KESTRA_EDITOR_SIMULATOR", None)
    return env


def run(work, *args, simulator="", stdin=subprocess.DEVNULL):
    """Runs the program with the log on; returns (exit code, stdout, stderr, log lines)."""
    log = work / "simulator.log"
    log.unlink(missing_ok=True)
    sim = simulator if simulator is None else ",".join(filter(None, [simulator, f"log={log}"]))
    done = subprocess.run([str(CLI), *map(str, args)], cwd=work, env=environment(work, sim),
                          capture_output=True, text=True, timeout=TIMEOUT, stdin=stdin)
    lines = log.read_text().splitlines() if log.exists() else []
    return done.returncode, done.stdout, done.stderr, lines


def tonewheel(path, name=b"CLI WHEEL", size=300):
    path.write_bytes(PROJECT_MAGIC + bytes(28) + name.ljust(32, b"\0") + b"K" * size)
    return path


def sent(lines, prefix):
    return [line for line in lines if f" in {prefix}" in line]


# ---- success -----------------------------------------------------------------------------

def test_ports_marks_the_instrument(work):
    code, out, _, _ = run(work, "ports", simulator="extra-inputs=1,extra-outputs=1")
    assert code == OK
    assert "  1  Tollmark Kestra MIDI Port  *" in out
    assert "  0  Midi Through Port-0\n" in out
    code, out, _, _ = run(work, "--json", "ports")
    ports = json.loads(out)
    assert ports["inputs"] == [{"index": 0, "name": "Tollmark Kestra MIDI Port", "instrument": True}]


def test_identify(work):
    code, out, err, _ = run(work, "identify", simulator="model=1,revision=1,firmware=1.2.6")
    assert code == OK, err
    assert "Model:     Kestra Brio\nRevision:  1\nProtocol:  5\nVersion:   rel 1.2.6\n" in out
    assert "Slot 3:    ALT1 -  TONEWHEEL BC_1936" in out
    code, out, _, _ = run(work, "--json", "identify")
    identity = json.loads(out)
    assert identity["model"] == "Kestra" and identity["version"] == "rel 1.5"
    assert len(identity["slots"]) == 6


@pytest.mark.parametrize("port", ["2,1", "Tollmark Kestra MIDI Port"])
def test_port_given(work, port):
    code, out, err, _ = run(work, "--port", port, "identify",
                            simulator="extra-inputs=2,extra-outputs=1")
    assert code == OK, err
    assert "Ports:     2,1\n" in out


def test_the_pair_found_is_remembered_for_the_window(work):
    renamed = "port-name=Organ,extra-inputs=2,extra-outputs=2"  # found only by trying every pair
    code, out, err, _ = run(work, "identify", simulator=renamed)
    assert code == OK, err
    settings = (work / "config/Kestra Editor/Kestra Editor.settings").read_text()
    assert 'name="MidiInputIndex" val="2"' in settings
    assert 'name="MidiOutputIndex" val="2"' in settings


def test_backup_writes_the_project_file(work):
    code, _, err, _ = run(work, "backup", "x", simulator="model=1,revision=1")
    assert code == OK, err  # SAVE's rule: the extension is added
    image = (work / "x.tkp").read_bytes()
    assert len(image) == 416
    assert image[:4] == PROJECT_MAGIC
    # model and revision as the instrument reported them, then the value count
    assert struct.unpack_from("<3i", image, 8) == (1, 1, 99)


def test_restore_sends_every_parameter_in_bulk_mode(work):
    run(work, "backup", "x.tkp", simulator="model=1")
    code, _, err, log = run(work, "restore", "x.tkp", simulator="model=1")
    assert code == OK, err
    values, bytes_ = sent(log, "F0 7D 1E 01 "), sent(log, "F0 7D 1E 02 ")
    assert (len(values), len(bytes_)) == (85, 14)
    text = "\n".join(log)
    assert text.index(BULK_ON) < text.index(values[0]) < text.index(BULK_OFF)
    assert "Transmitting all parameters to the device...\n0%\n" in err  # no terminal: lines


def test_get_shows_values_as_the_window_does(work):
    code, out, err, _ = run(work, "get", "Reverb Hall Time", "chorus level", "97", "Classic Horn Level")
    assert code == OK, err
    assert out.splitlines() == [
        "23  Hall Time                 2.2 sec",
        "31  Chorus Level              0.0 dB",  # relative to Chorus Mix
        "97  Tonewheel Model           FAC3 -  TONEWHEEL '70",
        "58  Classic Horn Level        -5.2 dB",
    ]
    code, out, _, _ = run(work, "--json", "get", "23")
    assert json.loads(out) == [{"number": 23, "name": "Hall Time", "value": 2.2, "text": "2.2",
                                "unit": "sec"}]
    code, out, _, _ = run(work, "get")
    assert code == OK and "Memphis Style" in out


@pytest.mark.parametrize("assignment, shown, message", [
    ("Reverb Hall Time=2,5 sec", "Hall Time = 2.5 sec", "F0 7D 1E 01 17 "),
    ("23=3.04", "Hall Time = 3.0 sec", "F0 7D 1E 01 17 "),  # snapped to the step
    ("Hall Damp=4500 Hz", "Hall Damp = 4.5 kHz", "F0 7D 1E 01 18 "),
    ("Memphis Style=on", "Memphis Style = ON", "F0 7D 1E 02 0D 01 F7"),
    ("98=1", "Memphis Style = ON", "F0 7D 1E 02 0D 01 F7"),
])
def test_set(work, assignment, shown, message):
    code, out, err, log = run(work, "set", assignment)
    assert code == OK, err
    assert out.strip() == shown
    assert sent(log, message)


def test_store(work):
    code, out, _, log = run(work, "store")
    assert (code, out) == (OK, "All data has been stored successfully.\n")
    assert sent(log, "F0 7D 1E 03 00 F7")  # the store request


def test_reset_with_yes(work):
    code, out, _, log = run(work, "reset", "--yes")
    assert (code, out) == (OK, "All data has been reset successfully.\n")
    assert sent(log, "F0 7D 1E 08 00 F7")  # the reset request


@pytest.mark.parametrize("typed, code, sent_reset", [("n\n", FAILED, False), ("\n", FAILED, False),
                                                     ("y\n", OK, True)])
def test_reset_asks_on_a_terminal(work, typed, code, sent_reset):
    """On a terminal the question is asked, its focus on No: Return alone answers No."""
    log = work / "simulator.log"
    master, slave = pty.openpty()
    process = subprocess.Popen([str(CLI), "reset"], cwd=work, env=environment(work, f"log={log}"),
                               stdin=slave, stderr=slave, stdout=subprocess.PIPE, text=True)
    os.close(slave)
    seen = b""
    deadline = time.monotonic() + TIMEOUT
    while b"[Yes/NO]" not in seen:
        assert time.monotonic() < deadline, seen
        if select.select([master], [], [], 0.1)[0]:
            seen += os.read(master, 1024)
    assert b"Warning!  All data will be reset to the default values. Do you want to continue?" \
        in seen
    os.write(master, typed.encode())
    out, _ = process.communicate(timeout=TIMEOUT)
    os.close(master)
    assert process.returncode == code
    assert any(" in F0 7D 1E 08 00 F7" in line for line in log.read_text().splitlines()) \
        == sent_reset


def test_upload(work):
    wheel = tonewheel(work / "w.ktw")
    code, out, err, log = run(work, "upload", wheel, "--slot", "4", "--yes")
    assert code == OK, err
    assert out == "Slot 4: ALT2 -  CLI WHEEL\n"
    assert sent(log, "F0 7E 00 07 01 00 41 43 32 ")  # the header, "AC2"
    assert "0%" in err.splitlines()  # plain percentage lines: stderr is no terminal


def test_monitor_prints_until_interrupted(work):
    env = environment(work, "")
    process = subprocess.Popen([str(CLI), "monitor"], cwd=work, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    time.sleep(1.5)
    process.send_signal(signal.SIGINT)
    out, _ = process.communicate(timeout=TIMEOUT)
    assert process.returncode == OK
    assert "OUT  F0 7D 1E 06 01 F7" in out and "IN   F0 7D 1E 07 " in out


# ---- errors ------------------------------------------------------------------------------

NOT_FOUND_TEXT = "Device not found!  The firmware of the device is too old"
PORT_BUSY_TEXT = "The midi port may be in use by another\napplication. Please, close it and retry."


@pytest.mark.parametrize("args, simulator, code, text", [
    (["frobnicate"], "", USAGE, "unknown command"),
    ([], "", USAGE, "no command given"),
    (["identify", "--bogus"], "", USAGE, "unknown option --bogus"),
    (["backup"], "", USAGE, "wrong number of arguments"),
    (["upload", "w.ktw"], "", USAGE, "upload needs --slot 3, 4 or 5"),
    (["upload", "w.ktw", "--slot", "2"], "", USAGE, "upload needs --slot 3, 4 or 5"),
    (["set", "Hall Time"], "", USAGE, "set needs PARAM=VALUE"),
    (["set", "Hall Time=9"], "", USAGE, "Hall Time: 9 is outside 0.5 ... 4.0 sec"),
    (["set", "Hall Time=2 dB"], "", USAGE, "Hall Time: \"2 dB\" is not a value in sec"),
    (["set", "Horn Level=1"], "", USAGE, "names several controls"),
    (["get", "Nothing"], "", USAGE, "no control is called \"Nothing\""),
    (["set", "12=3"], "", USAGE, "no control has the number 12"),
    (["reset"], "", USAGE, "a question needs an answer: give --yes, or run on a terminal"),
    (["identify"], "wrong-option", USAGE, "wrong-option"),
    (["identify"], "silent", NOT_FOUND, NOT_FOUND_TEXT),
    (["identify"], "busy", NOT_FOUND, PORT_BUSY_TEXT),
    (["identify", "--port", "Nothing"], "", NOT_FOUND, "no MIDI input and output are called"),
    (["identify", "--port", "3,0"], "", NOT_FOUND, "no MIDI port pair 3,0"),
    (["identify", "--port", "0,0"], "extra-inputs=1,extra-outputs=1", LINK,
     "Communication error!\nFailed to receive data."),  # a pair with no instrument on it
    (["identify"], "model=7", REFUSED, "This model is not supported."),
    (["identify"], "revision=2", REFUSED, "This model is not supported."),
    (["identify"], "protocol=4", REFUSED, "The firmware of the device is out of date."),
    (["identify"], "protocol=6", REFUSED, "The Editor is out of date."),
    (["identify"], "dump-delay=3500", LINK, "Communication error!\nFailed to receive data."),
    (["store"], "silent-after-store", LINK, "Missing confirmation error!\nFailed to store data."),
    (["reset", "--yes"], "silent-after-reset", LINK, "Failed to reset data."),
    (["restore", "nothere.tkp"], "", BAD_FILE, "The selected file is not valid."),
    (["restore", "w.ktw"], "", BAD_FILE, "The selected file is not valid."),
    (["restore", "short.tkp"], "", BAD_FILE, "The selected file is corrupted."),
    (["backup", "no/such/folder/x.tkp"], "", BAD_FILE, "The project file could not be saved."),
    (["upload", "short.ktw", "--slot", "3", "--yes"], "", BAD_FILE, "The selected file is corrupted."),
    (["upload", "w.ktw", "--slot", "3"], "", USAGE, "will be lost.  Are you sure ?"),
    (["upload", "w.ktw", "--slot", "5", "--yes"], "cancel-at-packet=1:2", ABORTED,
     "Transmission aborted.\nThe size of the tonewheel is wrong!"),
])
def test_errors(work, args, simulator, code, text):
    tonewheel(work / "w.ktw", size=1000)
    (work / "short.tkp").write_bytes(PROJECT_MAGIC + bytes(10))
    (work / "short.ktw").write_bytes(PROJECT_MAGIC + bytes(10))
    got, out, err, _ = run(work, *args, simulator=simulator)
    assert (got, text in err) == (code, True), err


def test_refused_project_file_connects_to_nothing(work):
    (work / "short.tkp").write_bytes(PROJECT_MAGIC + bytes(10))
    code, _, _, log = run(work, "restore", "short.tkp")
    assert code == BAD_FILE and log == []


# SIGHUP (the terminal gone) ends the program as Ctrl+C and SIGTERM do.
ENDING_SIGNALS = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP]


@pytest.mark.parametrize("ending", ENDING_SIGNALS, ids=lambda s: s.name)
def test_ctrl_c_during_an_upload_sends_the_cancel(work, ending):
    wheel = tonewheel(work / "big.ktw", size=200_000)
    log = work / "simulator.log"
    process = subprocess.Popen(
        [str(CLI), "upload", str(wheel), "--slot", "5", "--yes"], cwd=work,
        env=environment(work, f"ack-delay=20,log={log}"), stdout=subprocess.PIPE,
        stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + TIMEOUT
    while not (log.exists() and DATA_PACKET in log.read_text()):  # data packets going
        assert time.monotonic() < deadline
        time.sleep(0.05)
    process.send_signal(ending)
    _, err = process.communicate(timeout=TIMEOUT)
    assert process.returncode == INTERRUPTED
    assert "Transmission aborted.\nThe tonewheel has been deleted!" in err
    lines = log.read_text().splitlines()
    assert any(CANCEL_SENT in line for line in lines)
    # nothing of the upload after its CANCEL
    first_cancel = next(i for i, line in enumerate(lines) if CANCEL_SENT in line)
    assert not [l for l in lines[first_cancel:] if DATA_PACKET in l]


@pytest.mark.parametrize("ending", ENDING_SIGNALS, ids=lambda s: s.name)
def test_ctrl_c_during_a_restore_ends_bulk_mode(work, ending):
    run(work, "backup", "x.tkp")
    log = work / "simulator.log"
    log.unlink(missing_ok=True)
    process = subprocess.Popen([str(CLI), "restore", "x.tkp"], cwd=work,
                               env=environment(work, f"log={log}"), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + TIMEOUT
    while not (log.exists() and BULK_ON in log.read_text()):
        assert time.monotonic() < deadline
        time.sleep(0.02)
    process.send_signal(ending)
    process.communicate(timeout=TIMEOUT)
    assert process.returncode == INTERRUPTED
    assert log.read_text().rstrip().splitlines()[-1].endswith(BULK_OFF)


# ---- hostile use: other processes, odd files and names, lost output ------------------------

def snapshots_folder(work):
    return work / "config" / "Kestra Editor" / "Snapshots"


def snapshot_index(work):
    import xml.etree.ElementTree as ElementTree  # expat: refuses what XML forbids
    return ElementTree.parse(snapshots_folder(work) / "index.xml").getroot()


def project_file(work, name, value=None):
    """A project file the instrument's defaults would give, written as backup writes it."""
    if not (work / "defaults.tkp").exists():
        assert run(work, "backup", "defaults.tkp")[0] == OK
    data = bytearray((work / "defaults.tkp").read_bytes())
    if value is not None:
        data[20 + 4 * 6:24 + 4 * 6] = struct.pack("<f", value)
    path = work / os.fsdecode(name) if isinstance(name, bytes) else work / name
    path.write_bytes(bytes(data))
    return path


def test_restores_at_once_keep_every_snapshot(work):
    """Ten restores at once share the snapshots' folder: every one keeps the sound it replaced,
    under an id of its own and with its own label."""
    count = 10
    for k in range(count):
        project_file(work, f"song{k}.tkp", 1000.0 + k)
    processes = [subprocess.Popen([str(CLI), "restore", f"song{k}.tkp"], cwd=work,
                                  env=environment(work, ""), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, text=True) for k in range(count)]
    for process in processes:
        _, err = process.communicate(timeout=TIMEOUT)
        assert process.returncode == OK, err
    entries = snapshot_index(work).findall("snapshot")
    labels = [entry.get("label") for entry in entries]
    ids = [entry.get("id") for entry in entries]
    assert len(set(ids)) == len(ids)
    for k in range(count):
        assert labels.count(f"Before opening song{k}.tkp") == 1, labels
    for entry in entries:
        assert (snapshots_folder(work) / f"snapshot-{entry.get('id')}.tkp").stat().st_size == 416


SPECIAL_FILES = {
    "fifo": lambda path: os.mkfifo(path),
    "folder": lambda path: path.mkdir(),
    "device": lambda path: path.symlink_to("/dev/zero"),
    "link loop": lambda path: path.symlink_to(path.name),
}


@pytest.mark.parametrize("kind", SPECIAL_FILES)
@pytest.mark.parametrize("command, name", [
    (["restore"], "special.tkp"),
    (["upload", "--slot", "3", "--yes"], "special.ktw"),
])
def test_anything_but_a_regular_file_is_not_valid_at_once(work, kind, command, name):
    SPECIAL_FILES[kind](work / name)
    started = time.monotonic()
    code, _, err, _ = run(work, command[0], name, *command[1:])
    assert (code, "The selected file is not valid." in err) == (BAD_FILE, True), err
    assert time.monotonic() - started < 20  # never waits for a writer


def test_file_names_reach_the_file_system_byte_for_byte(work):
    """A Latin-1 name is no UTF-8: it is opened and written under its own bytes, and shown
    escaped, never as another name."""
    latin1 = b"Kl\xe4nge.tkp"
    project_file(work, latin1, 1234.0)
    code, _, err, log = run(work, "restore", os.fsdecode(latin1))
    assert code == OK, err
    assert any(line.endswith(" in F0 7D 1E 0A 00 F7") for line in log)
    labels = [entry.get("label") for entry in snapshot_index(work).findall("snapshot")]
    assert "Before opening Kl\\xE4nge.tkp" in labels

    saved = b"Sicherung \xfc"
    code, _, err, _ = run(work, "backup", os.fsdecode(saved))
    assert code == OK, err
    assert os.listdir(os.fsencode(work)).count(saved + b".tkp") == 1
    assert "Saved " in err and "Sicherung \\xFC.tkp" in err
    assert not [name for name in os.listdir(os.fsencode(work)) if b"\x04" in name or b"\xef" in name]


def test_text_from_arguments_is_escaped_before_the_terminal(work):
    hostile = "\x1b]0;owned\x07\x1b[2J\u202e"
    code, out, err, _ = run(work, "identify", "--port", hostile)
    assert code == NOT_FOUND
    assert "\x1b" not in err and "\x07" not in err and "\u202e" not in err
    assert "\\x1B]0;owned\\x07\\x1B[2J\\u202E" in err


def test_a_snapshot_that_cannot_be_kept_is_said_and_refuses_what_replaces_the_sound(work):
    project_file(work, "song.tkp", 1500.0)
    folder = snapshots_folder(work)
    folder.parent.mkdir(parents=True, exist_ok=True)
    shutil.rmtree(folder, ignore_errors=True)
    folder.write_text("not a folder")
    warning = "kestra-cli: warning: no snapshot can be kept in "

    code, _, err, log = run(work, "restore", "song.tkp")
    assert code == FAILED and err.count(warning) == 1, err
    assert "restore refused" in err and "--no-snapshot" in err
    assert not sent(log, "")  # refused before anything reached the instrument
    for command in (["set", "Hall Time=2"], ["reset", "--yes"]):
        code, _, err, log = run(work, *command)
        assert (code, err.count(warning)) == (FAILED, 1), err
        assert not sent(log, "")

    code, _, err, log = run(work, "restore", "song.tkp", "--no-snapshot")
    assert code == OK and err.count(warning) == 1, err
    assert sent(log, "F0 7D 1E 0A 01")
    # a command that replaces nothing goes on, and says it once
    code, out, err, _ = run(work, "identify")
    assert code == OK and err.count(warning) == 1 and "Model:" in out, err


def test_labels_are_written_as_xml_any_parser_reads(work):
    project_file(work, "a\x01b\x1bc.tkp")
    assert run(work, "restore", "a\x01b\x1bc.tkp")[0] == OK
    labels = [entry.get("label") for entry in snapshot_index(work).findall("snapshot")]
    assert "Before opening a\\x01b\\x1Bc.tkp" in labels


@pytest.mark.parametrize("command", [["identify"], ["get", "--json"], ["ports"], ["--version"]])
@pytest.mark.parametrize("output", ["closed", "full"])
def test_output_that_cannot_be_written_is_an_error(work, command, output):
    stdout = open("/dev/full", "w") if output == "full" else None
    try:
        done = subprocess.run([str(CLI), *command], cwd=work, env=environment(work, ""),
                              stdout=stdout, stderr=subprocess.PIPE, text=True, timeout=TIMEOUT,
                              stdin=subprocess.DEVNULL,
                              pass_fds=(), close_fds=True,
                              preexec_fn=(lambda: os.close(1)) if output == "closed" else None)
    finally:
        if stdout:
            stdout.close()
    assert done.returncode == FAILED, done.stderr
    assert "kestra-cli: the output could not be written (standard output: " in done.stderr


def test_a_closed_pipe_ends_a_restore_as_sigterm_does(work):
    """restore x.tkp 2>&1 >/dev/null | head -c 110: the reader goes while the parameters go out;
    the instrument leaves bulk mode, and the exit status is that of a lost output."""
    project_file(work, "x.tkp", 2000.0)
    log = work / "simulator.log"
    log.unlink(missing_ok=True)
    process = subprocess.Popen([str(CLI), "restore", "x.tkp"], cwd=work,
                               env=environment(work, f"log={log}"), stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    deadline = time.monotonic() + TIMEOUT
    while not (log.exists() and sent(log.read_text().splitlines(), "F0 7D 1E 01")):
        assert time.monotonic() < deadline
        time.sleep(0.02)
    process.stderr.close()  # the reader has gone; the next progress line finds no one
    assert process.wait(timeout=TIMEOUT) == FAILED
    lines = log.read_text().rstrip().splitlines()
    assert lines[-1].endswith(BULK_OFF)
    assert len(sent(lines, "F0 7D 1E 01")) < 99


def test_a_closed_pipe_cancels_an_upload(work):
    wheel = tonewheel(work / "big.ktw", size=200_000)
    log = work / "simulator.log"
    process = subprocess.Popen(
        [str(CLI), "upload", str(wheel), "--slot", "5", "--yes"], cwd=work,
        env=environment(work, f"ack-delay=20,log={log}"), stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE)
    deadline = time.monotonic() + TIMEOUT
    while not (log.exists() and DATA_PACKET in log.read_text()):
        assert time.monotonic() < deadline
        time.sleep(0.05)
    process.stderr.close()
    assert process.wait(timeout=TIMEOUT) == FAILED
    assert any(CANCEL_SENT in line for line in log.read_text().splitlines())


def test_set_with_many_values_is_paced_as_a_project_send(work):
    assignments = [f"Hall Time={0.5 + 0.1 * (k % 30):.1f}" for k in range(2000)]
    assignments += ["Memphis Style=ON", "Classic Horn Level=-3"]
    code, out, err, log = run(work, "set", "--quiet", *assignments)
    assert code == OK, err
    framed = [line for line in log if " in F0 7D 1E 0A " in line or " in F0 7D 1E 01 " in line
              or " in F0 7D 1E 02 " in line]
    assert framed[0].endswith(BULK_ON) and framed[-1].endswith(BULK_OFF)
    values = framed[1:-1]
    assert 1 <= len(values) <= 3  # each parameter that changed once, with its last value
    times = [int(line.split()[0]) for line in values]
    assert all(b - a >= 19 for a, b in zip(times, times[1:]))

    code, _, _, log = run(work, "set", "Hall Time=2", "Memphis Style=ON")  # a few: at once
    assert code == OK and not sent(log, "F0 7D 1E 0A")


DEEP = "<a>" * 50_000


@pytest.mark.parametrize("damage", ["settings", "index"])
def test_a_file_nested_too_deep_is_put_aside_and_said_once(work, damage):
    settings = work / "config" / "Kestra Editor"
    folder = snapshots_folder(work)
    folder.mkdir(parents=True)
    damaged = settings / "Kestra Editor.settings" if damage == "settings" else folder / "index.xml"
    damaged.write_text(DEEP)
    code, out, err, _ = run(work, "identify")
    assert code == OK, err
    assert "Model:" in out and err.count("kestra-cli: warning: ") == 1, err
    aside = damaged.parent / "Damaged" / damaged.name
    assert aside.read_text() == DEEP
    code, _, err, _ = run(work, "identify")
    assert code == OK and "warning" not in err  # said once
