// ServiceClassUUID (the compat layer's decoder underneath) against
// libbluetooth's sdp_extract_pdu + sdp_get_service_classes, and the whole
// record decoded to a tree (BTRecord::Decode, through the same platform calls)
// against sdp_extract_pdu alone, on the same records, in one run.
#include <benchmark/benchmark.h>
#include <corvale/Corvale.h>
#include <corvale/bt/sdp.h>
#include <corvale/platform/bluetooth_api.h>

#include <bluetooth/bluetooth.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace Corvale::Bt::Sdp;

struct Record {
    std::string name;
    Bytes bytes;
};

Bytes uuid128(std::uint64_t high, std::uint64_t low) {
    Corvale::Bt::UuidBytes u{};
    for (std::size_t i = 0; i < 8; ++i) {
        u[i] = static_cast<std::uint8_t>(high >> (56 - 8 * i));
        u[8 + i] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    }
    return Corvale::Bt::Sdp::uuid128(u);
}

// A small record like a serial port's, a mid-sized one with 128-bit UUIDs,
// a HID record with a 4 KiB report descriptor, and a class list of 21,800
// distinct UUIDs: 64 KiB of record, the most a device can make the class list
// cost in one record of that size.
std::vector<Record> makeRecords() {
    Bytes descriptor(4096);
    for (std::size_t i = 0; i < descriptor.size(); ++i)
        descriptor[i] = static_cast<std::uint8_t>(i * 131 + 7);
    std::vector<Bytes> classes;
    for (std::uint16_t i = 0; i < 21800; ++i) classes.push_back(uuid16(i));
    return {
        {"SerialPort", record({{0x0000, uint32(0x00010001)},
                               {0x0001, sequence({uuid16(0x1101)})},
                               {0x0004, sequence({sequence({uuid16(0x0100)}),
                                                  sequence({uuid16(0x0003), uint8(1)})})},
                               {0x0005, sequence({uuid16(0x1002)})},
                               {0x0009, sequence({sequence({uuid16(0x1101), uint16(0x0102)})})},
                               {0x0100, text("Serial Port")}})},
        {"Custom128",
         record({{0x0000, uint32(0x00010002)},
                 {0x0001, sequence({uuid128(0x123456789ABCDEF0ull, 0x1122334455667788ull),
                                    uuid16(0x1101)})},
                 {0x0004,
                  sequence({sequence({uuid16(0x0100)}), sequence({uuid16(0x0003), uint8(5)})})},
                 {0x0005, sequence({uuid16(0x1002)})},
                 {0x0006, sequence({uint16(0x656E), uint16(0x006A), uint16(0x0100)})},
                 {0x0100, text("Vendor data channel")},
                 {0x0101, text("A service with its own 128-bit class")},
                 {0x0102, text("Maker")}})},
        {"Hid4KiB", record({{0x0000, uint32(0x00010005)},
                            {0x0001, sequence({uuid16(0x1124)})},
                            {0x0004, sequence({sequence({uuid16(0x0100), uint16(0x0011)}),
                                               sequence({uuid16(0x0011)})})},
                            {0x0005, sequence({uuid16(0x1002)})},
                            {0x0006, sequence({uint16(0x656E), uint16(0x006A), uint16(0x0100)})},
                            {0x0009, sequence({sequence({uuid16(0x1124), uint16(0x0101)})})},
                            {0x000D, sequence({sequence({sequence({uuid16(0x0100), uint16(0x0013)}),
                                                         sequence({uuid16(0x0011)})})})},
                            {0x0100, text("Wireless Keyboard")},
                            {0x0101, text("Keyboard")},
                            {0x0102, text("Maker")},
                            {0x0201, uint16(0x0111)},
                            {0x0202, uint8(0x40)},
                            {0x0203, uint8(0x00)},
                            {0x0204, boolean(true)},
                            {0x0205, boolean(true)},
                            {0x0206, sequence({sequence({uint8(0x22), octets(descriptor)})})},
                            {0x0207, sequence({sequence({uint16(0x0409), uint16(0x0100)})})},
                            {0x020B, uint16(0x0100)},
                            {0x020C, uint16(0x0C80)},
                            {0x020D, boolean(false)},
                            {0x020E, boolean(true)}})},
        {"ClassList21800", record({{0x0000, uint32(0x00010006)}, {0x0001, sequence(classes)}})},
    };
}

const std::vector<Record>& theRecords() {
    static const std::vector<Record> all = makeRecords();
    return all;
}

// libbluetooth's answer for one record: sdp_extract_pdu, then
// sdp_get_service_classes; the first class's 16 bytes in wire order (all
// zero when there is none). Everything it allocates is freed again.
Corvale::Bt::UuidBytes bluezFirstClass(const Bytes& bytes) {
    Corvale::Bt::UuidBytes out{};
    int scanned = 0;
    sdp_record_t* rec = sdp_extract_pdu(bytes.data(), static_cast<int>(bytes.size()), &scanned);
    if (rec == nullptr) return out;
    sdp_list_t* classes = nullptr;
    if (sdp_get_service_classes(rec, &classes) == 0 && classes != nullptr) {
        const auto* u = static_cast<const uuid_t*>(classes->data);
        if (u->type == SDP_UUID128) {
            std::memcpy(out.data(), u->value.uuid128.data, 16);
        } else {
            const std::uint32_t v = u->type == SDP_UUID16 ? u->value.uuid16 : u->value.uuid32;
            out = Corvale::Bt::uuidBytes(Corvale::Bt::onBase<GUID>(v));
        }
    }
    sdp_list_free(classes, free);
    sdp_record_free(rec);
    return out;
}

void ours(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    for (auto _ : state) {
        Corvale::BTUUID uuid =
            Corvale::ServiceClassUUID(bytes.data(), static_cast<ULONG>(bytes.size()));
        benchmark::DoNotOptimize(uuid);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void bluez(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    for (auto _ : state) {
        Corvale::Bt::UuidBytes uuid = bluezFirstClass(bytes);
        benchmark::DoNotOptimize(uuid);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// The whole record to a tree. libbluetooth: sdp_extract_pdu and freeing
// what it allocated (its attribute list, each value and, inside sequences,
// each child). Ours: BTRecord::Decode into a new record, and into one that is
// used again (its storage kept from the last record), as a loop over many
// records would.
void freeChildren(sdp_data_t* d) {
    if (!SDP_IS_SEQ(d->dtd) && !SDP_IS_ALT(d->dtd)) return;
    for (sdp_data_t* c = d->val.dataseq; c;) {
        freeChildren(c);
        sdp_data_t* next = c->next;
        sdp_data_free(c);
        c = next;
    }
    d->val.dataseq = nullptr;
}

std::size_t bluezTree(const Bytes& bytes) {
    int scanned = 0;
    sdp_record_t* rec = sdp_extract_pdu(bytes.data(), static_cast<int>(bytes.size()), &scanned);
    if (rec == nullptr) return 0;
    std::size_t attributes = 0;
    for (sdp_list_t* l = rec->attrlist; l; l = l->next) {
        ++attributes;
        freeChildren(static_cast<sdp_data_t*>(l->data));
    }
    sdp_record_free(rec);
    return attributes;
}

// What the platform calls alone cost: every attribute handed over by
// BluetoothSdpEnumAttributes and every element of every value handed out by
// BluetoothSdpGetContainerElementData, with nothing kept. The decoder makes
// these calls and stores what they give, so this is its floor.
std::size_t walkChildren(LPBYTE container, ULONG length) {
    std::size_t elements = 0;
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA child{};
    while (BluetoothSdpGetContainerElementData(container, length, &cursor, &child) ==
           ERROR_SUCCESS) {
        ++elements;
        if (child.type == SDP_TYPE_SEQUENCE || child.type == SDP_TYPE_ALTERNATIVE)
            elements += walkChildren(child.data.sequence.value, child.data.sequence.length);
    }
    return elements;
}

BOOL walkValue(ULONG, LPBYTE value, ULONG size, LPVOID elements) {
    *static_cast<std::size_t*>(elements) +=
        1 + ((value[0] >> 3) == 6 || (value[0] >> 3) == 7 ? walkChildren(value, size) : 0);
    return TRUE;
}

void platformWalk(benchmark::State& state, std::size_t which) {
    auto bytes = theRecords()[which].bytes;
    for (auto _ : state) {
        std::size_t elements = 0;
        BluetoothSdpEnumAttributes(bytes.data(), static_cast<ULONG>(bytes.size()), walkValue,
                                   &elements);
        benchmark::DoNotOptimize(elements);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void decodeNew(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    for (auto _ : state) {
        Corvale::BTRecord record = Corvale::BTRecord::Decode(bytes);
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void decodeReused(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    Corvale::BTRecord record;
    for (auto _ : state) {
        Corvale::BTRecord::Decode(bytes, record);
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void bluezDecode(benchmark::State& state, std::size_t which) {
    const auto& bytes = theRecords()[which].bytes;
    for (auto _ : state) {
        std::size_t attributes = bluezTree(bytes);
        benchmark::DoNotOptimize(attributes);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// Both sides must find the same class on every record, and read the same
// attributes whole, or the race means nothing.
void checkAgreement() {
    for (const auto& r : theRecords()) {
        const Corvale::BTRecord record = Corvale::BTRecord::Decode(r.bytes);
        if (record.MalformedAt() || record.Attributes().size() != bluezTree(r.bytes)) {
            std::fprintf(stderr, "the record decoder and libbluetooth disagree on %s\n",
                         r.name.c_str());
            std::exit(1);
        }
    }
    for (const auto& r : theRecords()) {
        const GUID mine =
            Corvale::ServiceClassUUID(r.bytes.data(), static_cast<ULONG>(r.bytes.size())).guid();
        if (Corvale::Bt::uuidBytes(mine) != bluezFirstClass(r.bytes)) {
            std::fprintf(stderr, "ServiceClassUUID and libbluetooth disagree on %s\n",
                         r.name.c_str());
            std::exit(1);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    checkAgreement();
    for (std::size_t i = 0; i < theRecords().size(); ++i) {
        const auto& r = theRecords()[i];
        char ourName[128], theirName[128];
        std::snprintf(ourName, sizeof ourName, "ServiceClassUUID/%s/%zuB", r.name.c_str(),
                      r.bytes.size());
        std::snprintf(theirName, sizeof theirName, "libbluetooth/%s/%zuB", r.name.c_str(),
                      r.bytes.size());
        benchmark::RegisterBenchmark(ourName, ours, i);
        benchmark::RegisterBenchmark(theirName, bluez, i);
    }
    for (std::size_t i = 0; i < theRecords().size(); ++i) {
        const auto& r = theRecords()[i];
        const std::string suffix = "/" + r.name + "/" + std::to_string(r.bytes.size()) + "B";
        benchmark::RegisterBenchmark(("Decode" + suffix).c_str(), decodeNew, i);
        benchmark::RegisterBenchmark(("DecodeReused" + suffix).c_str(), decodeReused, i);
        benchmark::RegisterBenchmark(("sdp_extract_pdu" + suffix).c_str(), bluezDecode, i);
        benchmark::RegisterBenchmark(("PlatformWalk" + suffix).c_str(), platformWalk, i);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
