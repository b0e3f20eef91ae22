#!/usr/bin/env python3
"""Compares `corvale services PEER --json` with BlueZ's sdptool on the same peer,
attribute by attribute: every record of corvale's document must be in what
sdptool printed (`sdptool browse --raw` or `sdptool records --raw`), found by
its ServiceRecordHandle, with the same attributes holding the same elements
(type, size and value; sdptool prints no value for 128-bit integers, so
there only the type is compared). With --same-search (sdptool made corvale's
search, for L2CAP), sdptool must have no record that corvale lacks; without
it, the records sdptool has beyond corvale's are listed.

    sdp_compare.py CORVALE_JSON SDPTOOL_RAW LABEL [--same-search]

Prints one line per difference and a summary; exit code 1 on a difference.
"""
import json
import re
import sys


def uuid128(short):
    return "%08x-0000-1000-8000-00805f9b34fb" % short


def parse_sdptool(raw):
    """sdptool's raw view: records of tab-indented element lines."""
    records, record, attr, stack = [], None, None, []
    for line in raw.split(b"\n"):
        if not line.strip():
            continue
        depth = len(line) - len(line.lstrip(b"\t"))
        text = line[depth:]
        if depth == 0 and text == b"Sequence":
            record = {}
            records.append(record)
            continue
        if depth == 1:
            m = re.match(rb"Attribute 0x([0-9a-f]{4})", text)
            if not m or record is None:
                raise ValueError("unexpected line: %r" % line)
            attr = int(m.group(1), 16)
            stack = []
            continue
        element = parse_element(text)
        level = depth - 2
        del stack[level:]
        if level == 0:
            record[attr] = element
        else:
            stack[level - 1][1].append(element)
        if element[0] in ("sequence", "alternative"):
            stack.append(element)
    return records


def parse_element(text):
    word, _, rest = text.partition(b" ")
    word = word.decode()
    if word == "NIL":
        return ("nil", None)
    if word == "Bool":
        return ("bool", rest == b"True")
    if word in ("UINT128", "INT128"):
        return (word.lower(), None)
    if word.startswith("UINT"):
        return (word.lower(), int(rest, 16))
    if word.startswith("INT"):
        return (word.lower(), int(rest))
    if word in ("UUID16", "UUID32"):
        return (word.lower(), uuid128(int(rest.split(b" ")[0], 16)))
    if word == "UUID128":
        return ("uuid128", rest.decode().lower())
    if word in ("String", "Data"):
        data = rest if word == "String" else bytes.fromhex(rest.decode())
        # sdptool prints one byte past every text: the terminator libbluetooth
        # puts after the bytes received (its unitSize counts it).
        return ("text", data[:-1] if data.endswith(b"\0") else data)
    if word == "URL":
        return ("url", rest)
    if word in ("Sequence", "Alternate"):
        return ("sequence" if word == "Sequence" else "alternative", [])
    raise ValueError("unknown element: %r" % text)


def from_json(element):
    kind, value = element["type"], element["value"]
    if kind in ("sequence", "alternative"):
        return (kind, [from_json(e) for e in value])
    if kind in ("uint128", "int128"):
        return (kind, None)
    if kind in ("uint64", "int64"):
        number = int(value, 16)
        if kind == "int64" and number >= 1 << 63:
            number -= 1 << 64
        return (kind, number)
    if kind in ("text", "url"):
        data = bytes.fromhex(element["hex"]) if "hex" in element else value.encode()
        # sdptool prints a URL as a C string: up to its first NUL.
        return (kind, data.split(b"\0")[0] if kind == "url" else data)
    return (kind, value)


def main():
    corvale = json.load(open(sys.argv[1], encoding="utf-8"))
    sdptool = parse_sdptool(open(sys.argv[2], "rb").read())
    label, same_search = sys.argv[3], "--same-search" in sys.argv[4:]
    ours = {}
    for service in corvale["services"]:
        record = service["record"] or {"attributes": []}
        attrs = {a["id"]: from_json(a["value"]) for a in record["attributes"]}
        ours[attrs.get(0, ("", None))[1]] = attrs
    theirs = {r.get(0, ("", None))[1]: r for r in sdptool}
    differences, attributes, outside = [], 0, []
    for handle, mine in sorted(ours.items()):
        other = theirs.get(handle)
        if other is None:
            differences.append("record 0x%08x: sdptool does not have it" % handle)
            continue
        for attr in sorted(set(other) | set(mine)):
            attributes += 1
            if other.get(attr) != mine.get(attr):
                differences.append("record 0x%08x attribute 0x%04x: sdptool %r, corvale %r"
                                   % (handle, attr, other.get(attr), mine.get(attr)))
    for handle in sorted(set(theirs) - set(ours)):
        # The same search must find the same records; sdptool's records,
        # which asks for every handle, also reaches records outside it.
        if same_search:
            differences.append("record 0x%08x: sdptool has it, corvale not" % handle)
        else:
            outside.append("0x%08x" % handle)
    for d in differences:
        print("E2E:   DIFFERENT " + d)
    print("E2E: corvale services --json against %s: %d records of corvale's, %d attributes, %s%s"
          % (label, len(ours), attributes,
             "all agree" if not differences else "%d differences" % len(differences),
             "; %d more outside corvale's search for L2CAP (%s)" % (len(outside), " ".join(outside))
             if outside else ""))
    return 1 if differences or not ours else 0


if __name__ == "__main__":
    sys.exit(main())
