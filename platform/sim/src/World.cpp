// The simulated world and the backend through which the compat layer asks it.
#include <corvale/sim/World.h>

#include "sdp_builder.h"

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

template <typename Result>
class ListQuery final : public Compat::Query<Result> {
public:
    explicit ListQuery(std::vector<Result> results) : results(std::move(results)) {
        ++gOpenQueries;
    }
    ~ListQuery() override { --gOpenQueries; }
    ListQuery(const ListQuery&) = delete;
    ListQuery& operator=(const ListQuery&) = delete;

    DWORD next(Result& out) override {
        if (position >= results.size()) return WSA_E_NO_MORE;
        out = std::move(results[position++]);
        return 0;
    }

private:
    std::vector<Result> results;
    std::size_t position = 0;
};

struct Fault {
    Api api;
    unsigned nth;
    DWORD code;
    bool onwards;
};

constexpr std::size_t kApiCount = static_cast<std::size_t>(Api::BluetoothGetRadioInfo) + 1;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Lowest RFCOMM channel (1 to 30) that no record of the radio reports.
ULONG freeChannel(const Radio& radio) {
    for (ULONG channel = 1; channel <= 30; ++channel) {
        const bool used = std::any_of(radio.records.begin(), radio.records.end(),
                                      [&](const Record& r) { return r.port == channel; });
        if (!used) return channel;
    }
    return 0;
}
}  // namespace

BTH_ADDR address(std::string_view text) {
    if (text.size() != 17) throw std::invalid_argument("not a Bluetooth address");
    BTH_ADDR value = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const int hi = hexDigit(text[i * 3]);
        const int lo = hexDigit(text[i * 3 + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && text[i * 3 + 2] != ':'))
            throw std::invalid_argument("not a Bluetooth address");
        value = (value << 8) | static_cast<BTH_ADDR>(hi * 16 + lo);
    }
    return value;
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
    explicit SimBackend(World& world) : world(world) {}

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
        if (s.logging) {
            s.log.emplace_back(call);
            s.log.back().injected = code;
        }
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
        for (const Radio& r : s.radios) {
            Compat::RadioInfo info;
            info.address = r.address;
            info.name = r.name;
            info.classOfDevice = r.classOfDevice;
            info.lmpSubversion = r.lmpSubversion;
            info.manufacturer = r.manufacturer;
            info.infoError = r.infoError;
            out.push_back(std::move(info));
        }
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
        if (wait.count() > 0) std::this_thread::sleep_for(wait);
        out = std::make_unique<ListQuery<Compat::DeviceResult>>(std::move(results));
        return 0;
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
            for (const Record& r : *records) {
                if (r.bytes && !sdp::mayMatch(*r.bytes, params.restriction)) continue;
                Compat::ServiceResult result;
                result.name = r.name;
                result.comment = r.comment;
                result.port = r.port;
                result.record = r.bytes;
                result.device = params.device;
                results.push_back(std::move(result));
            }
            wait = s.sdpDuration;
        }
        if (wait.count() > 0) std::this_thread::sleep_for(wait);
        out = std::make_unique<ListQuery<Compat::ServiceResult>>(std::move(results));
        return 0;
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
            const std::optional<GUID> cls = sdp::serviceClass(*r.bytes);
            return cls && sdp::sameGuid(*cls, uuid);
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
            sdp::publishedRecord(static_cast<std::uint32_t>(0x00010000u + radio->records.size()),
                                 uuid, reg.name, reg.comment, static_cast<std::uint8_t>(port));
        radio->records.push_back(std::move(record));
        return 0;
    }

private:
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

void World::removeDevice(BTH_ADDR address) {
    std::lock_guard lock(state->mutex);
    std::erase_if(state->devices, [&](const Device& d) { return d.address == address; });
}

void World::setDevices(std::vector<Device> devices) {
    std::lock_guard lock(state->mutex);
    state->devices = std::move(devices);
}

void World::clearDevices() {
    std::lock_guard lock(state->mutex);
    state->devices.clear();
}

void World::setRadioInfoError(BTH_ADDR radio, DWORD code) {
    std::lock_guard lock(state->mutex);
    for (Radio& r : state->radios)
        if (r.address == radio) r.infoError = code;
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

void World::clearFaults() {
    std::lock_guard lock(state->mutex);
    state->faults.clear();
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
