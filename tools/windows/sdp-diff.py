#!/usr/bin/env python3
"""Differential check of two platforms' SDP functions.

Runs corvale-sdp-dump built over the compat layer and built for Windows (run
under a Wine) on the same inputs, compares the two dumps item by item, and
sorts every item that differs into a known kind of difference, each with its
explanation. An item that fits no known kind, a compat run that fails, or a
compat dump that hands out a pointer outside the caller's buffer fails the
check (exit 1).

  sdp-diff.py --out DIR --compat 'CMD...' --windows 'CMD...' [--label L] INPUT...

A run that dies on an item (a crash under Wine) is started again after that
item; the item's dump then ends with "crashed".
"""
import argparse
import collections
import difflib
import os
import re
import shlex
import subprocess
import sys


def run_dump(command, inputs, out_path):
    """Runs the dump until every item is done; returns (items, crashes, stderr)."""
    items, crashes, errors = {}, [], []
    start = 0
    while True:
        proc = subprocess.run(command + ["--from", str(start)] + inputs,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        errors.append(proc.stderr.decode("utf-8", "replace"))
        current, last_started = None, None
        for raw in proc.stdout.decode("utf-8", "replace").splitlines():
            m = re.match(r"# item (\d+) (.*)", raw)
            if m:
                current = last_started = int(m.group(1))
                items[current] = [m.group(2)]
            elif raw.startswith("# end "):
                current = None
            elif current is not None:
                items[current].append(raw)
        if proc.returncode == 0 and current is None:
            break
        if last_started is None or last_started < start:
            raise SystemExit(f"sdp-diff: {shlex.join(command)} failed before any item "
                             f"(exit {proc.returncode}):\n{proc.stderr.decode('utf-8', 'replace')}")
        # The run died inside item last_started: note it and go on after it.
        if not any(line.startswith("crashed") for line in items[last_started]):
            items[last_started].append(f"crashed exit={proc.returncode}")
        crashes.append(last_started)
        start = last_started + 1
    with open(out_path, "w", encoding="utf-8") as f:
        for k in sorted(items):
            f.write(f"# item {k} " + "\n".join(items[k]) + f"\n# end {k}\n")
    return items, crashes, "".join(errors)


def wire_reversed(guid):
    """The UUID (in its text, which is its wire order) whose 16 wire bytes, reversed,
    are the memory of the GUID `guid`: what undoes Wine 10's reading."""
    t = bytes.fromhex(guid.strip("{}").replace("-", ""))
    memory = t[0:4][::-1] + t[4:6][::-1] + t[6:8][::-1] + t[8:]
    w = memory[::-1].hex().upper()
    return "{%s-%s-%s-%s-%s}" % (w[:8], w[8:12], w[12:16], w[16:20], w[20:])


def unreverse_uuids(lines, reference):
    """Wine's 128-bit UUIDs read back as the compat layer reads them; the engine's
    class line only where that gives the reference's value."""
    out = [re.sub(r"UUID 0x0430 (\{[0-9A-F-]{36}\})",
                  lambda m: "UUID 0x0430 " + wire_reversed(m.group(1)), line) for line in lines]
    ref_class = [line for line in reference if line.startswith("class ")]
    for i, line in enumerate(out):
        if line.startswith("class ") and ref_class and line != ref_class[0]:
            if wire_reversed(line[6:]) == ref_class[0][6:]:
                out[i] = ref_class[0]
    return out


def indent_of(line):
    return len(line) - len(line.lstrip(" "))


def empty_walks_ended(lines):
    """Every walk of a container whose element says "empty" replaced by the
    plain end (ERROR_NO_MORE_ITEMS, twice)."""
    out, i = [], 0
    while i < len(lines):
        line = lines[i]
        out.append(line)
        i += 1
        if line.endswith(" empty"):
            depth = indent_of(line) + 2
            while i < len(lines) and indent_of(lines[i]) >= depth:
                i += 1
            out.append(" " * depth + "end rc=259 again rc=259")
    return out


# The known kinds of difference, in the order they are tried. Each: a key, what
# it is, and who is at fault.
KINDS = {
    "uuid128-reversed": (
        "Wine fault",
        "a 128-bit UUID comes back with all 16 bytes of the record reversed in the GUID "
        "(Data1 = the UUID's last four bytes) instead of Data1-Data3 read as big-endian "
        "numbers and Data4 as the bytes stand, the GUID form of Windows, of the SDK's "
        "service class GUIDs and of the compat layer; ServiceClassUUID inherits it"),
    "empty-container-walk": (
        "Wine fault",
        "walking a container with no children does not end with ERROR_NO_MORE_ITEMS (259): "
        "the walk reads the bytes after the container's descriptor (its own length field, "
        "then what follows it, past the stream it was given) as further children and ends "
        "with ERROR_INVALID_PARAMETER (87); a record with no attributes fails every "
        "lookup with 87 instead of ERROR_FILE_NOT_FOUND (2)"),
    "checked-whole": (
        "deliberate (compat)",
        "a damaged element (cut short, a length that lies, a reserved or disallowed "
        "descriptor): the compat layer checks an element in full, containers down to the "
        "last nested child, before handing it out, and for an attribute lookup the record's "
        "outline (every ID, every value's extent) and the asked value in full, so it "
        "refuses with 87 where Wine hands out what it has not checked and fails later or "
        "not at all"),
    "past-the-buffer": (
        "Wine fault",
        "a damaged element is handed out with its data running past the end of the caller's "
        "buffer (a text, URL or container whose length field lies): a caller that reads it "
        "reads memory that is not the record's; the compat layer refuses with 87"),
    "depth-bound": (
        "deliberate (compat)",
        "containers nested deeper than 32 levels: the compat layer refuses them with 87 (a "
        "bound that keeps the work per element finite); Wine walks them"),
    "crash": (
        "Wine fault",
        "the Windows build died on the item under Wine"),
}


def classify(name, sound, record, compat, system):
    """The kinds that explain why `system` differs from `compat`, or None.
    Wine's known faults are undone first, then what remains must be a damaged
    item that the compat layer refuses where Wine does not."""
    if any(line.startswith("crashed") for line in system):
        return ["crash"]
    kinds = []
    normal = unreverse_uuids(system, compat)
    if normal != system:
        kinds.append("uuid128-reversed")
    if kinds:
        # The engine's class follows from the UUIDs it was given: a reversed
        # one is another class and changes which UUID counts first.
        compat = [line for line in compat if not line.startswith("class ")]
        normal = [line for line in normal if not line.startswith("class ")]
    ended = empty_walks_ended(normal)
    element = [line for line in compat if line.startswith("element ")]
    if element and element[0].endswith(" empty") and element[0] in ended:
        # A record with no attributes at all: Wine's lookups fail as its walk does.
        ended = [line.replace(" rc=87", " rc=2") if line.startswith("attribute ") else line
                 for line in ended]
    if ended != normal:
        kinds.append("empty-container-walk")
    compat = empty_walks_ended(compat)
    if ended == compat:
        return kinds
    if sound and name.startswith("nestings | nested"):
        depth = int(name.split("|")[1].split()[1])
        if depth > 31 and any("rc=87" in line for line in compat):
            return kinds + ["depth-bound"]
    # A sound element must be read alike; a sound record looked up alike.
    def split(lines):
        first = next((i for i, line in enumerate(lines) if line.startswith("attribute ")),
                     len(lines))
        return lines[:first], lines[first:]
    (element_c, attributes_c), (element_s, attributes_s) = split(compat), split(ended)
    if sound and element_c != element_s:
        return None
    if record and attributes_c != attributes_s:
        return None
    # A damaged item: the compat layer must be the one that refuses, at the
    # first place where the two differ.
    diff = next(i for i in range(max(len(compat), len(ended)))
                if i >= len(compat) or i >= len(ended) or compat[i] != ended[i])
    if diff >= len(compat) or "rc=87" not in compat[diff]:
        return None
    if diff < len(ended) and "rc=87" in ended[diff]:
        return None  # both refuse, but not alike
    kinds.append("checked-whole")
    if any("@outside" in line for line in system):
        kinds.append("past-the-buffer")
    return kinds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--compat", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--label", default="Windows build")
    parser.add_argument("inputs", nargs="+")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    compat, compat_crashes, compat_err = run_dump(
        shlex.split(args.compat), args.inputs, os.path.join(args.out, "compat.txt"))
    system, system_crashes, _ = run_dump(
        shlex.split(args.windows), args.inputs, os.path.join(args.out, "windows.txt"))
    failures = []
    if compat_crashes:
        failures.append(f"the compat dump died on items {compat_crashes}:\n{compat_err[-3000:]}")
    for k, lines in compat.items():
        if any("@outside" in line for line in lines):
            failures.append(f"compat item {k} ({lines[0]}) hands out a pointer outside the buffer")
    if sorted(compat) != sorted(system):
        failures.append(f"item counts differ: compat {len(compat)}, {args.label} {len(system)}")

    agree, differ = 0, collections.Counter()
    examples, unexplained = {}, []
    inputs_with = collections.defaultdict(set)
    for k in sorted(compat):
        a, b = compat[k], system.get(k, ["<missing>"])
        if a == b:
            agree += 1
            continue
        sound = len(a) > 1 and a[1].startswith("sound yes")
        record = len(a) > 1 and a[1].endswith("record yes")
        kinds = classify(a[0], sound, record, a[1:], b[1:])
        if not kinds:
            unexplained.append(k)
            continue
        key = " + ".join(kinds)
        differ[key] += 1
        examples.setdefault(key, k)
        for kind in kinds:
            inputs_with[kind].add(a[0].split(" | ")[0])

    total = len(compat)
    print(f"SDP functions, compat layer against {args.label}: {total} items "
          f"({len({v[0].split(' | ')[0] for v in compat.values()})} inputs and their hostile variants)")
    print(f"  agree:  {agree}")
    print(f"  differ: {sum(differ.values()) + len(unexplained)} "
          f"({len(unexplained)} unexplained)")
    for key, count in differ.most_common():
        k = examples[key]
        print(f"    {count:6}  {key}   e.g. item {k}: {compat[k][0]}")
    print("  kinds of difference:")
    for kind, (who, text) in KINDS.items():
        if kind in inputs_with:
            print(f"    {kind} [{who}], in {len(inputs_with[kind])} inputs: {text}")
    for k in unexplained[:10]:
        print(f"  UNEXPLAINED item {k}: {compat[k][0]}")
        for line in list(difflib.unified_diff(compat[k][1:], system.get(k, [])[1:],
                                              "compat", args.label, lineterm="", n=2))[:40]:
            print("      " + line)
    if unexplained:
        failures.append(f"{len(unexplained)} items differ in a way no known kind explains")
    for f in failures:
        print("sdp-diff: FAILED: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
