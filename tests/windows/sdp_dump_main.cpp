// corvale-sdp-dump: what the platform's SDP functions make of a corpus of SDP
// records, as canonical text, for comparing two platforms' parsers. The same
// source runs on Windows (under Wine in CI) and over the compat layer; the two
// outputs are compared line by line (tools/windows/sdp-diff.py).
//
//   corvale-sdp-dump [--from N] FILE|DIR...
//
// Every file (a directory's files in name order) is one input. Each input is
// dumped whole and as hostile variants made from it here, the same on every
// platform: cut short, a length field off by one or at its maximum, a type or
// size descriptor changed. For each item the dump holds, in order:
//   - BluetoothSdpGetElementData on the whole buffer, and a walk of every
//     container it finds with BluetoothSdpGetContainerElementData: each call's
//     result code and element, down to the first call that does not succeed,
//     then one more call with the same cursor ("the end stays the end");
//   - BluetoothSdpGetAttributeValue for every attribute ID at the top level of
//     the bytes (read here, not by the platform) and a few absent ones, with a
//     walk of each container value;
//   - ServiceClassUUID, the engine's use of the two functions.
// Pointers appear as offsets into the item's buffer, never as addresses, and
// cursors never appear: only the sequence of results they lead to.
//
// Items are numbered. Each starts with "# item N" and ends with "# end N"
// (flushed), so a run that dies on an item shows which; --from N carries on
// after it. Each item's bytes sit in a block of exactly their size.
#include <corvale/Corvale.h>
#include <corvale/platform/bluetooth_api.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using Bytes = std::vector<BYTE>;

std::string hex(unsigned long long v, int digits = 0) {
    char s[24];
    std::snprintf(s, sizeof s, "0x%0*llX", digits, v);
    return s;
}

std::string guidText(const GUID& g) {
    char s[40];
    std::snprintf(s, sizeof s, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return s;
}

// The item's buffer, for turning pointers into offsets.
struct Buffer {
    const BYTE* begin;
    std::size_t size;
    std::string where(const BYTE* p, ULONG length) const {
        if (p < begin || p > begin + size || length > static_cast<std::size_t>(begin + size - p))
            return "@outside+" + std::to_string(length);
        return "@" + std::to_string(p - begin) + "+" + std::to_string(length);
    }
};

bool isContainer(const SDP_ELEMENT_DATA& e) {
    return e.type == SDP_TYPE_SEQUENCE || e.type == SDP_TYPE_ALTERNATIVE;
}

// One element: its type and specific type, and the value fields they name.
std::string element(const SDP_ELEMENT_DATA& e, const Buffer& buffer) {
    static const char* const kTypes[] = {"NIL",     "UINT",     "INT",         "UUID", "STRING",
                                         "BOOLEAN", "SEQUENCE", "ALTERNATIVE", "URL"};
    const auto type = static_cast<unsigned>(e.type);
    std::string out = type < std::size(kTypes) ? kTypes[type] : "type" + std::to_string(type);
    out += " " + hex(static_cast<unsigned>(e.specificType), 4) + " ";
    const auto& d = e.data;
    switch (e.type) {
        case SDP_TYPE_NIL:
            return out + "-";
        case SDP_TYPE_BOOLEAN:
            return out + std::to_string(d.booleanVal);
        case SDP_TYPE_UINT:
        case SDP_TYPE_INT:
            switch (e.specificType) {
                case SDP_ST_UINT8:
                case SDP_ST_INT8:
                    return out + hex(d.uint8, 2);
                case SDP_ST_UINT16:
                case SDP_ST_INT16:
                    return out + hex(d.uint16, 4);
                case SDP_ST_UINT32:
                case SDP_ST_INT32:
                    return out + hex(d.uint32, 8);
                case SDP_ST_UINT64:
                case SDP_ST_INT64:
                    return out + hex(d.uint64, 16);
                case SDP_ST_UINT128:
                case SDP_ST_INT128:
                    return out + hex(d.uint128.HighPart, 16) + ":" + hex(d.uint128.LowPart, 16);
                default:
                    return out + "?";
            }
        case SDP_TYPE_UUID:
            switch (e.specificType) {
                case SDP_ST_UUID16:
                    return out + hex(d.uuid16, 4);
                case SDP_ST_UUID32:
                    return out + hex(d.uuid32, 8);
                case SDP_ST_UUID128:
                    return out + guidText(d.uuid128);
                default:
                    return out + "?";
            }
        case SDP_TYPE_STRING:
        case SDP_TYPE_URL:
            return out + buffer.where(d.string.value, d.string.length);
        case SDP_TYPE_SEQUENCE:
        case SDP_TYPE_ALTERNATIVE: {
            out += buffer.where(d.sequence.value, d.sequence.length);
            // A container with no children says so (its header is its whole
            // length): parsers are known to stumble there.
            const BYTE* p = d.sequence.value;
            const ULONG n = d.sequence.length;
            if (!out.ends_with("outside+" + std::to_string(n)) && n > 0 && (p[0] & 7) >= 5 &&
                n == 1u + (1u << ((p[0] & 7) - 5)))
                out += " empty";
            return out;
        }
        default:
            return out + "?";
    }
}

// Containers are walked this deep; the compat decoder refuses deeper ones.
constexpr int kWalkDepth = 40;

void walk(std::string& out, const SDP_ELEMENT_DATA& container, const Buffer& buffer, int depth) {
    const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
    if (depth > kWalkDepth) {
        out += indent + "deeper not walked\n";
        return;
    }
    LPBYTE stream = container.data.sequence.value;
    const ULONG length = container.data.sequence.length;
    if (buffer.where(stream, length).starts_with("@outside")) {
        out += indent + "not walked: outside the buffer\n";
        return;
    }
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    // Each child takes at least one byte: more successes than bytes is a runaway.
    for (ULONG calls = 0;; ++calls) {
        if (calls > length) {
            out += indent + "runaway\n";
            return;
        }
        SDP_ELEMENT_DATA child{};
        const DWORD rc = BluetoothSdpGetContainerElementData(stream, length, &cursor, &child);
        if (rc != ERROR_SUCCESS) {
            const DWORD again =
                BluetoothSdpGetContainerElementData(stream, length, &cursor, &child);
            out += indent + "end rc=" + std::to_string(rc) + " again rc=" + std::to_string(again) +
                   "\n";
            return;
        }
        out += indent + "child " + element(child, buffer) + "\n";
        if (isContainer(child)) walk(out, child, buffer, depth + 1);
    }
}

// The data elements of the bytes as far as they are sound, read here with no
// help from the platform, by the Bluetooth Core Specification's rules: each header's
// offset and sizes and its level (the outermost element is level 0). `sound`:
// the bytes are exactly one element whose every descriptor is allowed and
// whose every container its children fill exactly; `record`: besides, a
// sequence of (16-bit unsigned attribute ID, value) pairs.
struct Header {
    std::size_t at, headerSize, dataSize;
    int level;
};
struct Outline {
    std::vector<Header> headers;
    bool sound = false, record = false;
};

Outline outline(const Bytes& b) {
    // The size indexes each type may have, as a bit mask; 0: a reserved type.
    static const unsigned kAllowed[9] = {0x01, 0x1F, 0x1F, 0x16, 0xE0, 0x01, 0xE0, 0xE0, 0xE0};
    Outline o;
    std::vector<std::size_t> ends = {b.size()};
    std::size_t at = 0;
    while (at < b.size() && o.headers.size() < 100000) {
        while (ends.size() > 1 && at == ends.back()) ends.pop_back();
        if (!o.headers.empty() && ends.size() == 1) break;  // a second outermost element
        const unsigned type = b[at] >> 3, index = b[at] & 7;
        if (type > 8 || (kAllowed[type] >> index & 1) == 0) break;
        std::size_t headerSize = 1, dataSize = 0;
        if (index < 5) {
            dataSize = type == 0 ? 0 : std::size_t{1} << index;
        } else {
            const std::size_t n = std::size_t{1} << (index - 5);
            if (n > ends.back() - at - 1) break;
            for (std::size_t i = 0; i < n; ++i) dataSize = dataSize << 8 | b[at + 1 + i];
            headerSize += n;
        }
        if (dataSize > ends.back() - at - headerSize) break;  // runs past its container
        o.headers.push_back({at, headerSize, dataSize, static_cast<int>(ends.size()) - 1});
        if (type == 6 || type == 7) {
            ends.push_back(at + headerSize + dataSize);
            at += headerSize;
        } else {
            at += headerSize + dataSize;
        }
    }
    while (ends.size() > 1 && at == ends.back()) ends.pop_back();
    o.sound = !o.headers.empty() && at == b.size() && ends.size() == 1 &&
              o.headers[0].headerSize + o.headers[0].dataSize == b.size();
    if (!o.sound || b[0] >> 3 != 6) return o;
    int place = 0;
    o.record = true;
    for (const Header& h : o.headers)
        if (h.level == 1 && place++ % 2 == 0 && b[h.at] != 0x09) o.record = false;
    o.record = o.record && place % 2 == 0;
    return o;
}

// Attribute IDs at the top level of a record: the 16-bit unsigned integers
// at even places among the outermost sequence's children.
std::set<USHORT> attributeIds(const Bytes& b, const Outline& o) {
    std::set<USHORT> ids = {0x0000, 0x0001, 0x0004, 0x0100, 0xFFFF};  // also absent ones
    int place = 0;
    for (const Header& h : o.headers) {
        if (h.level != 1) continue;
        if (place++ % 2 == 0 && b[h.at] == 0x09)
            ids.insert(static_cast<USHORT>(b[h.at + 1] << 8 | b[h.at + 2]));
    }
    return ids;
}

std::string dump(Bytes& bytes) {
    const Outline o = outline(bytes);
    std::string out = std::string("sound ") + (o.sound ? "yes" : "no") + " record " +
                      (o.record ? "yes" : "no") + "\n";
    const Buffer buffer{bytes.data(), bytes.size()};
    const auto n = static_cast<ULONG>(bytes.size());
    SDP_ELEMENT_DATA e{};
    const DWORD rc = BluetoothSdpGetElementData(bytes.data(), n, &e);
    out += "element rc=" + std::to_string(rc) + (rc == 0 ? " " + element(e, buffer) : "") + "\n";
    if (rc == ERROR_SUCCESS && isContainer(e)) walk(out, e, buffer, 1);
    for (USHORT id : attributeIds(bytes, o)) {
        SDP_ELEMENT_DATA a{};
        const DWORD arc = BluetoothSdpGetAttributeValue(bytes.data(), n, id, &a);
        out += "attribute " + hex(id, 4) + " rc=" + std::to_string(arc) +
               (arc == 0 ? " " + element(a, buffer) : "") + "\n";
        if (arc == ERROR_SUCCESS && isContainer(a)) walk(out, a, buffer, 1);
    }
    std::string uuid;
    for (wchar_t c : Corvale::ServiceClassUUID(bytes.data(), n).asString())
        uuid += static_cast<char>(c);
    return out + "class " + uuid + "\n";
}

// The variants of one input: itself, then hostile cuts and lies.
struct Variant {
    std::string name;
    Bytes bytes;
};

std::vector<Variant> variants(const Bytes& b) {
    std::vector<Variant> out = {{"whole", b}};
    // Cut short: every length up to 64, then 64 lengths spread over the rest.
    std::set<std::size_t> cuts;
    for (std::size_t k = 1; k < b.size() && k <= 64; ++k) cuts.insert(k);
    for (std::size_t i = 1; i <= 64 && b.size() > 65; ++i)
        cuts.insert(64 + (b.size() - 65) * i / 64);
    for (std::size_t k : cuts)
        if (k < b.size())
            out.push_back({"cut " + std::to_string(k), Bytes(b.begin(), b.begin() + k)});
    // Lies, at up to 24 element headers spread over the record.
    const std::vector<Header> headers = outline(b).headers;
    const std::size_t count = std::min<std::size_t>(headers.size(), 24);
    for (std::size_t i = 0; i < count; ++i) {
        const Header& h = headers[i * headers.size() / count];
        const std::string at = " @" + std::to_string(h.at);
        auto with = [&](std::string name, auto change) {
            Bytes v = b;
            change(v);
            out.push_back({std::move(name) + at, std::move(v)});
        };
        if (h.headerSize > 1) {
            auto setLength = [&](Bytes& v, unsigned long long length) {
                for (std::size_t k = h.headerSize - 1; k >= 1; --k, length >>= 8)
                    v[h.at + k] = static_cast<BYTE>(length);
            };
            with("length+1", [&](Bytes& v) { setLength(v, h.dataSize + 1); });
            if (h.dataSize > 0) with("length-1", [&](Bytes& v) { setLength(v, h.dataSize - 1); });
            with("length max", [&](Bytes& v) { setLength(v, ~0ull); });
        }
        with("type reserved", [&](Bytes& v) { v[h.at] = static_cast<BYTE>(0xF8 | (v[h.at] & 7)); });
        with("size index+1", [&](Bytes& v) {
            v[h.at] = static_cast<BYTE>((v[h.at] & 0xF8) | ((v[h.at] + 1) & 7));
        });
    }
    return out;
}

// Containers nested around one byte, at and past the depths decoders bound.
std::vector<Variant> nestings() {
    std::vector<Variant> out;
    for (int depth : {31, 32, 33, 64, 10000}) {
        Bytes b = {0x08, 0x2A};
        for (int i = 0; i < depth; ++i) {
            const auto size = b.size();
            Bytes outer = {0x37, static_cast<BYTE>(size >> 24), static_cast<BYTE>(size >> 16),
                           static_cast<BYTE>(size >> 8), static_cast<BYTE>(size)};
            outer.insert(outer.end(), b.begin(), b.end());
            b = std::move(outer);
        }
        out.push_back({"nested " + std::to_string(depth), std::move(b)});
    }
    return out;
}

#ifdef _WIN32
// A crash ends the run with a line that says so, instead of Wine's debugger.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    std::printf("crashed %s\n", hex(info->ExceptionRecord->ExceptionCode, 8).c_str());
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // "\n", not "\r\n": the dumps compare byte for byte
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);
#endif
    long from = 0;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--from" && i + 1 < argc) {
            from = std::atol(argv[++i]);
        } else if (std::filesystem::is_directory(arg)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (std::filesystem::is_regular_file(arg)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "corvale-sdp-dump: no such file or directory: %s\n", arg.c_str());
            return 2;
        }
    }

    long item = 0;
    auto run = [&](const std::string& input, Variant& variant) {
        if (item++ < from) return;
        // A block of exactly the item's size, so a read past it is a read
        // past the allocation (ASan sees it over the compat layer).
        Bytes view(variant.bytes.begin(), variant.bytes.end());
        std::printf("# item %ld %s | %s | %zu bytes\n", item - 1, input.c_str(),
                    variant.name.c_str(), view.size());
        std::fflush(stdout);
        std::fputs(dump(view).c_str(), stdout);
        std::printf("# end %ld\n", item - 1);
        std::fflush(stdout);
    };
    for (const auto& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (bytes.empty()) continue;
        for (Variant& v : variants(bytes))
            run((path.parent_path().filename() / path.filename()).generic_string(), v);
    }
    for (Variant& v : nestings()) run("nestings", v);
    return 0;
}
