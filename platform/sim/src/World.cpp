// The simulated world and the backend through which the compat layer asks it.
#include <corvale/sim/World.h>

#include <corvale/bt/address.h>
#include <corvale/bt/sdp.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace Corvale::Sim {

namespace {
// Queries outlive nothing of the world: they hold copies of what they report.
std::atomic<std::size_t> gOpenQueries{0};

// A lookup over copies of what the world held when it began, counted while open.
template <typename Result>
class CountedQuery final : public Compat::ListQuery<Result> {
public:
    explicit CountedQuery(std::vector<Result> items) : Compat::ListQuery<Result>(std::move(items)) {
        ++gOpenQueries;
    }
    ~CountedQuery() override { --gOpenQueries; }
    CountedQuery(const CountedQuery&) = delete;
    CountedQuery& operator=(const CountedQuery&) = delete;
};

struct Fault {
    Api api;
    unsigned nth;
    DWORD code;
    bool onwards;
};

constexpr std::size_t kApiCount = static_cast<std::size_t>(Api::BluetoothGetRadioInfo) + 1;

// Lowest RFCOMM channel (1 to 30) that no record of the radio reports.
ULONG freeChannel(const Radio& radio) {
    for (ULONG channel = 1; channel <= 30; ++channel) {
        const bool used = std::any_of(radio.records.begin(), radio.records.end(),
                                      [&](const Record& r) { return r.port == channel; });
        if (!used) return channel;
    }
    return 0;
}

// The records are read with the platform layer's own SDP decoder, the one the
// engine reads them with, so a record is well-formed here exactly when it is
// there.
GUID uuidOf(const SDP_ELEMENT_DATA& e) {
    if (e.specificType == SDP_ST_UUID16) return Bt::onBase<GUID>(e.data.uuid16);
    if (e.specificType == SDP_ST_UUID32) return Bt::onBase<GUID>(e.data.uuid32);
    return e.data.uuid128;
}

// Whether a UUID anywhere inside the container equals `uuid`. The decoder has
// checked the whole container, nesting bounded, before it handed it out.
bool mentions(const SDP_ELEMENT_DATA& container, const GUID& uuid) {
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    SDP_ELEMENT_DATA child{};
    while (BluetoothSdpGetContainerElementData(container.data.sequence.value,
                                               container.data.sequence.length, &cursor,
                                               &child) == ERROR_SUCCESS) {
        if (child.type == SDP_TYPE_UUID && Bt::sameGuid(uuidOf(child), uuid)) return true;
        if ((child.type == SDP_TYPE_SEQUENCE || child.type == SDP_TYPE_ALTERNATIVE) &&
            mentions(child, uuid))
            return true;
    }
    return false;
}

// False only for a well-formed record (one container, exactly the bytes
// given) that does not mention the UUID: a record the decoder refuses is
// passed on, so that hostile bytes reach the caller.
bool mayMatch(const std::vector<BYTE>& record, const GUID& uuid) {
    SDP_ELEMENT_DATA top{};
    auto* bytes = const_cast<BYTE*>(record.data());
    const auto length = static_cast<ULONG>(record.size());
    if (BluetoothSdpGetElementData(bytes, length, &top) != ERROR_SUCCESS) return true;
    if (top.type != SDP_TYPE_SEQUENCE && top.type != SDP_TYPE_ALTERNATIVE) return true;
    if (top.data.sequence.length != length) return true;
    return mentions(top, uuid);
}

// The first UUID of the record's ServiceClassIDList, if it has one.
std::optional<GUID> serviceClass(const std::vector<BYTE>& record) {
    SDP_ELEMENT_DATA list{}, first{};
    HBLUETOOTH_CONTAINER_ELEMENT cursor = nullptr;
    if (BluetoothSdpGetAttributeValue(const_cast<BYTE*>(record.data()),
                                      static_cast<ULONG>(record.size()), 0x0001,
                                      &list) != ERROR_SUCCESS ||
        list.type != SDP_TYPE_SEQUENCE ||
        BluetoothSdpGetContainerElementData(list.data.sequence.value, list.data.sequence.length,
                                            &cursor, &first) != ERROR_SUCCESS ||
        first.type != SDP_TYPE_UUID)
        return std::nullopt;
    return uuidOf(first);
}

// The record a service registration on a radio leaves behind: handle, class,
// L2CAP + RFCOMM on the channel, public browse group, name and comment.
std::vector<BYTE> publishedRecord(std::uint32_t handle, const GUID& serviceClassId,
                                  const std::string& name, const std::string& comment,
                                  std::uint8_t channel) {
    using namespace Bt::Sdp;
    std::vector<Attribute> attributes = {
        {0x0000, uint32(handle)},
        {0x0001, sequence({uuid(serviceClassId)})},
        {0x0004,
         sequence({sequence({uuid16(0x0100)}), sequence({uuid16(0x0003), uint8(channel)})})},
        {0x0005, sequence({uuid16(0x1002)})},
        {0x0006, sequence({uint16(0x656E), uint16(0x006A), uint16(0x0100)})},
        {0x0100, text(name)},
    };
    if (!comment.empty()) attributes.push_back({0x0101, text(comment)});
    return record(attributes);
}
}  // namespace

BTH_ADDR address(std::string_view text) {
    const std::optional<std::uint64_t> value = Bt::parseAddress(text);
    if (!value) throw std::invalid_argument("not a Bluetooth address");
    return *value;
}

struct World::State {
    mutable std::mutex mutex;
    std::vector<Radio> radios;
    std::vector<Device> devices;
    std::vector<Fault> faults;
    std::array<unsigned, kApiCount> uses{};
    std::vector<Call> log;
    bool logging = true;
    WORD winsockVersion = MAKEWORD(2, 2);
    std::chrono::milliseconds inquiryDuration{0};
    std::chrono::milliseconds sdpDuration{0};
};

// The world as the compat layer sees it.
class SimBackend final : public Compat::Backend {
public:
    explicit SimBackend(World& scene) : world(scene) {}

    DWORD onCall(const Compat::CallInfo& call) override {
        World::State& s = *world.state;
        std::lock_guard lock(s.mutex);
        const auto index = static_cast<std::size_t>(call.api);
        const unsigned use = index < kApiCount ? ++s.uses[index] : 0;
        DWORD code = 0;
        for (const Fault& f : s.faults) {
            if (f.api == call.api && (f.onwards ? use >= f.nth : use == f.nth)) {
                code = f.code;
                break;
            }
        }
        if (s.logging) s.log.push_back(call);
        return code;
    }

    DWORD startup(WORD requested, WORD& version) override {
        World::State& s = *world.state;
        std::lock_guard lock(s.mutex);
        // Compare as (major, minor): the major version is the low byte.
        auto rank = [](WORD v) { return LOBYTE(v) * 256 + HIBYTE(v); };
        version = rank(s.winsockVersion) < rank(requested) ? s.winsockVersion : requested;
        return 0;
    }

    DWORD radios(std::vector<Compat::RadioInfo>& out) override {
        World::State& s = *world.state;
        std::lock_guard lock(s.mutex);
        out.clear();
        out.reserve(s.radios.size());
        for (const Radio& r : s.radios)
            out.push_back(
                {r.address, r.name, r.classOfDevice, r.lmpSubversion, r.manufacturer, r.infoError});
        return 0;
    }

    DWORD inquire(const Compat::InquiryParams&,
                  std::unique_ptr<Compat::Query<Compat::DeviceResult>>& out) override {
        std::vector<Compat::DeviceResult> results;
        std::chrono::milliseconds wait{0};
        {
            World::State& s = *world.state;
            std::lock_guard lock(s.mutex);
            results.reserve(s.devices.size());
            for (const Device& d : s.devices)
                results.push_back(Compat::DeviceResult{d.address, d.name, d.classOfDevice});
            wait = s.inquiryDuration;
        }
        return answer(std::move(results), wait, out);
    }

    DWORD searchServices(const Compat::ServiceSearchParams& params,
                         std::unique_ptr<Compat::Query<Compat::ServiceResult>>& out) override {
        std::vector<Compat::ServiceResult> results;
        std::chrono::milliseconds wait{0};
        {
            World::State& s = *world.state;
            std::lock_guard lock(s.mutex);
            const std::vector<Record>* records = nullptr;
            for (const Radio& r : s.radios)
                if (r.address == params.device) {
                    records = &r.records;
                    break;
                }
            if (records == nullptr)
                for (const Device& d : s.devices)
                    if (d.address == params.device) {
                        records = &d.records;
                        break;
                    }
            if (records == nullptr) return WSASERVICE_NOT_FOUND;
            for (const Record& r : *records)
                if (!r.bytes || mayMatch(*r.bytes, params.restriction))
                    results.push_back({r.name, r.comment, r.port, r.bytes, params.device});
            wait = s.sdpDuration;
        }
        return answer(std::move(results), wait, out);
    }

    DWORD setService(const Compat::ServiceRegistration& reg) override {
        World::State& s = *world.state;
        std::lock_guard lock(s.mutex);
        auto radio = std::find_if(s.radios.begin(), s.radios.end(),
                                  [&](const Radio& r) { return r.address == reg.radio; });
        if (radio == s.radios.end()) return WSAEADDRNOTAVAIL;
        const GUID uuid = reg.serviceClassId;
        auto same = [&](const Record& r) {
            if (r.name != reg.name || !r.bytes) return false;
            const std::optional<GUID> cls = serviceClass(*r.bytes);
            return cls && Bt::sameGuid(*cls, uuid);
        };
        auto existing = std::find_if(radio->records.begin(), radio->records.end(), same);
        if (!reg.publish) {
            if (existing == radio->records.end()) return WSASERVICE_NOT_FOUND;
            radio->records.erase(existing);
            return 0;
        }
        if (existing != radio->records.end()) radio->records.erase(existing);
        ULONG port = reg.port;
        if (port == BT_PORT_ANY) {
            port = freeChannel(*radio);
            if (port == 0) return WSAEADDRNOTAVAIL;
        }
        Record record;
        record.name = reg.name;
        record.comment = reg.comment;
        record.port = port;
        record.bytes =
            publishedRecord(static_cast<std::uint32_t>(0x00010000u + radio->records.size()), uuid,
                            reg.name, reg.comment, static_cast<std::uint8_t>(port));
        radio->records.push_back(std::move(record));
        return 0;
    }

private:
    // After the time the radio takes (outside the world's lock), a lookup
    // over the results gathered.
    template <typename Result>
    static DWORD answer(std::vector<Result> results, std::chrono::milliseconds wait,
                        std::unique_ptr<Compat::Query<Result>>& out) {
        if (wait.count() > 0) std::this_thread::sleep_for(wait);
        out = std::make_unique<CountedQuery<Result>>(std::move(results));
        return 0;
    }

    World& world;
};

World::World() : state(std::make_unique<State>()) {}
World::~World() = default;

World& World::instance() {
    static World world;
    return world;
}

void World::reset() {
    // Handles first: dropping them destroys their queries, which need no lock.
    Compat::closeAllHandles();
    std::lock_guard lock(state->mutex);
    State& s = *state;
    s.radios.clear();
    s.devices.clear();
    s.faults.clear();
    s.uses.fill(0);
    s.log.clear();
    s.logging = true;
    s.winsockVersion = MAKEWORD(2, 2);
    s.inquiryDuration = std::chrono::milliseconds(0);
    s.sdpDuration = std::chrono::milliseconds(0);
}

void World::addRadio(Radio radio) {
    std::lock_guard lock(state->mutex);
    state->radios.push_back(std::move(radio));
}

void World::addDevice(Device device) {
    std::lock_guard lock(state->mutex);
    state->devices.push_back(std::move(device));
}

void World::setDevices(std::vector<Device> devices) {
    std::lock_guard lock(state->mutex);
    state->devices = std::move(devices);
}

std::vector<Radio> World::radios() const {
    std::lock_guard lock(state->mutex);
    return state->radios;
}

std::vector<Device> World::devices() const {
    std::lock_guard lock(state->mutex);
    return state->devices;
}

void World::failCall(Api api, unsigned nth, DWORD code) {
    std::lock_guard lock(state->mutex);
    state->faults.push_back(Fault{api, nth, code, false});
}

void World::failFrom(Api api, unsigned nth, DWORD code) {
    std::lock_guard lock(state->mutex);
    state->faults.push_back(Fault{api, nth, code, true});
}

void World::setWinsockVersion(WORD version) {
    std::lock_guard lock(state->mutex);
    state->winsockVersion = version;
}

void World::setInquiryDuration(std::chrono::milliseconds duration) {
    std::lock_guard lock(state->mutex);
    state->inquiryDuration = duration;
}

void World::setSdpDuration(std::chrono::milliseconds duration) {
    std::lock_guard lock(state->mutex);
    state->sdpDuration = duration;
}

std::vector<Call> World::calls() const {
    std::lock_guard lock(state->mutex);
    return state->log;
}

std::vector<Call> World::calls(Api api) const {
    std::lock_guard lock(state->mutex);
    std::vector<Call> out;
    for (const Call& c : state->log)
        if (c.api == api) out.push_back(c);
    return out;
}

unsigned World::count(Api api) const {
    std::lock_guard lock(state->mutex);
    const auto index = static_cast<std::size_t>(api);
    return index < kApiCount ? state->uses[index] : 0;
}

void World::clearLog() {
    std::lock_guard lock(state->mutex);
    state->log.clear();
}

void World::setLogging(bool on) {
    std::lock_guard lock(state->mutex);
    state->logging = on;
}

Compat::OpenHandles World::openHandles() const {
    return Compat::openHandles();
}

std::size_t World::openQueries() const {
    return gOpenQueries.load();
}

}  // namespace Corvale::Sim

namespace Corvale::Compat {

Backend& backend() {
    static Sim::SimBackend instance(Sim::World::instance());
    return instance;
}

}  // namespace Corvale::Compat
