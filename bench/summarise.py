#!/usr/bin/env python3
"""Prints the median figures of scripts/bench.sh from the JSON results in the
folder given (and its start-up line)."""

import json
import pathlib
import sys


def load(folder, name):
    path = folder / f"{name}.json"
    if not path.exists():
        return []
    return json.loads(path.read_text())["benchmarks"]


def pick(benchmarks, prefix):
    """The median row of a repeated benchmark, else its single run."""
    rows = [b for b in benchmarks if b["run_name"].startswith(prefix)]
    for b in rows:
        if b.get("aggregate_name") == "median":
            return b
    singles = [b for b in rows if b.get("run_type") == "iteration"]
    return singles[0] if singles else None


def nanoseconds(row):
    """The processor time of one iteration: the wall time of these short,
    single-threaded runs only adds what other programs on the machine take."""
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[row["time_unit"]]
    return row["cpu_time"] * scale


def main():
    folder = pathlib.Path(sys.argv[1])
    startup = folder / "startup.txt"
    if startup.exists():
        for line in startup.read_text().splitlines():
            if line.startswith(("start-up", "bare window")):
                print(line)

    receive = load(folder, "receive")
    decode = pick(receive, "BM_DecodeParameterMessage")
    one = pick(receive, "BM_ReceiveParameterMessage")
    dump = pick(receive, "BM_ReceiveFullDump")
    if decode and one and dump:
        print(f"receive path (processor time): decoding a parameter message {nanoseconds(decode):.0f} ns; "
              f"through DeviceLink (stored, posted) {nanoseconds(one):.0f} ns; "
              f"a full three-section dump ({dump['messages']:.0f} messages) "
              f"{nanoseconds(dump) / 1e3:.1f} µs, {nanoseconds(dump) / dump['messages']:.0f} ns "
              f"a message")

    tonewheel = load(folder, "TonewheelUpload")
    for prefix, what in (("BM_LargestTonewheel_DeviceLink", "device link alone"),
                         ("BM_LargestTonewheel_Editor/0", "whole editor")):
        row = pick(tonewheel, prefix)
        if row:
            print(f"tonewheel transfer, largest file, instant instrument, {what}: "
                  f"{row['packets_per_s']:.0f} packets/s; ACK to next packet "
                  f"median {row['ack_to_packet_median_us']:.2f} µs, "
                  f"p99 {row['ack_to_packet_p99_us']:.2f} µs")

    send = load(folder, "ProjectSend")
    for prefix, what in (("BM_ProjectSend", "full parameter send after opening a project"),
                         ("BM_BlockingSendAllParameters",
                          "for comparison, sleeping on the message thread")):
        row = pick(send, prefix)
        if row:
            print(f"{what}: {row['send_ms']:.0f} ms against the ideal "
                  f"{row['ideal_ms']:.0f} ms ({row['send_ms'] / row['ideal_ms']:.3f} times, "
                  f"+{row['over_ideal_ms']:.1f} ms); gaps median "
                  f"{row['gap_median_ms']:.2f} ms, p99 {row['gap_p99_ms']:.2f} ms, "
                  f"smallest {row['gap_min_ms']:.2f} ms, max {row['gap_max_ms']:.2f} ms; {row['paints']:.0f} paints during the "
                  f"send, longest without one {row['paint_gap_max_ms']:.0f} ms")

    slider = load(folder, "Slider")
    for number, what in ((23, "Hall Time"), (31, "Chorus Mix"), (39, "V/C Depth")):
        row = pick(slider, f"BM_SliderMove/{number}/")
        if row:
            count = row["messages"]
            print(f"slider {number} {what} ({count:.0f} message{'s' if count != 1 else ''}): "
                  f"value to bytes "
                  f"median {row['value_to_bytes_median_us']:.1f} µs, "
                  f"p99 {row['value_to_bytes_p99_us']:.1f} µs; mouse drag to bytes median "
                  f"{row['drag_to_bytes_median_us']:.1f} µs, "
                  f"p99 {row['drag_to_bytes_p99_us']:.1f} µs")


if __name__ == "__main__":
    main()
