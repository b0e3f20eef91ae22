// The engine's service discovery end to end on a device that the input
// scripts in the simulated world: several records, each with a name and a
// comment of arbitrary bytes or none, a port or none, and record bytes that
// are absent, arbitrary, or an encoded record whose class list and size (up to
// a few hundred KiB) the input chooses; and perhaps one fetch that fails.
// BTDevice::DiscoverServices runs through the compat lookup's packing, the
// engine's result buffer, the UTF-8 conversion and ServiceClassUUID.
//
// Checked against what the world hands out for the same search: one service
// per record, in order; name and comment are what fromUtf8 makes of the bytes
// up to their first NUL; the port is the record's or 0; the UUID is what
// ServiceClassUUID gives on the record's bytes. A failed fetch leaves the
// services before it. No handle or lookup stays open, and the sanitizers
// report any leak.
#include <corvale/Corvale.h>
#include <corvale/bt/sdp.h>
#include <corvale/compat/utf.h>
#include <corvale/platform/bluetooth_api.h>
#include <corvale/sim/World.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace Corvale;
namespace Sdp = Bt::Sdp;

constexpr BTH_ADDR kDevice = 0x5CF370128A41;

std::optional<std::string> maybeText(FuzzedDataProvider& in) {
    if (!in.ConsumeBool()) return std::nullopt;
    return in.ConsumeRandomLengthString(300);
}

// A record that mentions L2CAP, so the search hands it out: a class list of
// UUIDs in every width, and a description grown to the size asked for.
std::vector<BYTE> encodedRecord(FuzzedDataProvider& in) {
    std::vector<Sdp::Bytes> classes(in.ConsumeIntegralInRange<std::size_t>(0, 40));
    for (Sdp::Bytes& c : classes) {
        const auto value = in.ConsumeIntegral<std::uint32_t>();
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                c = Sdp::uuid16(static_cast<std::uint16_t>(value));
                break;
            case 1:
                c = Sdp::uuid32(value);
                break;
            case 2:
                c = Sdp::uuid(Bt::onBase<GUID>(value));
                break;
            default:
                c = Sdp::uuid128(GUID{value, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}});
                break;
        }
    }
    const std::size_t size = in.ConsumeIntegralInRange<std::size_t>(0, 300 * 1024);
    return Sdp::record({{0x0001, Sdp::sequence(classes)},
                        {0x0004, Sdp::sequence({Sdp::sequence({Sdp::uuid16(0x0100)})})},
                        {0x0101, Sdp::text(std::string(size, 'd'))}});
}

Sim::Record scriptedRecord(FuzzedDataProvider& in) {
    Sim::Record r;
    r.name = maybeText(in);
    r.comment = maybeText(in);
    if (in.ConsumeBool()) r.port = in.ConsumeIntegral<ULONG>();
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            break;
        case 1: {
            const std::string raw = in.ConsumeRandomLengthString(2000);
            r.bytes = std::vector<BYTE>(raw.begin(), raw.end());
            break;
        }
        default:
            r.bytes = encodedRecord(in);
            break;
    }
    return r;
}

// Wide text as the engine shows it: fromUtf8 of the bytes up to their NUL.
std::wstring shown(const std::optional<std::string>& text) {
    if (!text) return L"";
    return Compat::fromUtf8(text->substr(0, text->find('\0')));
}

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool session = (Sim::World::instance().setLogging(false), baselib::WinsockStart());
    require(session);
    Sim::World& world = Sim::World::instance();
    world.reset();
    world.setLogging(false);

    FuzzedDataProvider in(data, size);
    const unsigned failingFetch = in.ConsumeIntegralInRange(0u, 12u);  // 0: none fails
    Sim::Device device{.address = kDevice, .name = "device", .classOfDevice = 0x5A020C};
    const std::size_t records = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < records && in.remaining_bytes() > 0; ++i)
        device.records.push_back(scriptedRecord(in));
    world.addDevice(device);
    if (failingFetch != 0)
        world.failCall(Sim::Api::WSALookupServiceNextW, failingFetch, WSAENETDOWN);

    // What the world hands out for the engine's search, asked directly.
    std::vector<Compat::ServiceResult> expected;
    {
        Compat::ServiceSearchParams params;
        params.device = kDevice;
        params.restriction = L2CAP_PROTOCOL_UUID;
        std::unique_ptr<Compat::Query<Compat::ServiceResult>> query;
        require(Compat::backend().searchServices(params, query) == 0);
        Compat::ServiceResult r;
        while (query->next(r) == 0) expected.push_back(r);
    }

    BTDevice target{BTAddress(kDevice)};
    const bool ok = target.DiscoverServices();
    const std::vector<BTService>& services = target.Services();
    require(ok ? services.size() == expected.size() : services.size() <= expected.size());
    // Only the fetch made to fail can fail it, and the text says so.
    require(ok || (failingFetch != 0 && baselib::getError().rfind(L"(10050) ", 0) == 0));
    for (std::size_t i = 0; i < services.size(); ++i) {
        const BTService& s = services[i];
        const Compat::ServiceResult& r = expected[i];
        require(s.Name() == shown(r.name));
        require(s.Comment() == shown(r.comment));
        require(s.Port() == r.port.value_or(0));
        const BTUUID uuid =
            r.record ? ServiceClassUUID(r.record->data(), static_cast<ULONG>(r.record->size()))
                     : BTUUID();
        require(s.UUID() == uuid);
    }
    require(world.openHandles() == Compat::OpenHandles{} && world.openQueries() == 0);
    return 0;
}
