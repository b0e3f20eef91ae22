// The simulated Bluetooth world: the surroundings that the sim platform's
// Winsock and Bluetooth functions answer from.
//
// Tests and the demo program script it like a scene: which radios the machine
// has, which devices are in range with which names, classes and SDP records,
// and which platform calls go wrong. The world logs every platform call it
// receives, with the flags, sizes, context text and blob the caller passed,
// so a test can assert what the engine asked for.
//
// Example scene (a machine with one radio, a phone and a nameless tag in range,
// and a radio whose info cannot be read on the second try):
//
//     using namespace Corvale::Sim;
//     World& world = World::instance();
//     world.reset();
//     world.addRadio({.address = address("00:1A:7D:DA:71:13"),
//                     .name = "Workstation",
//                     .classOfDevice = 0x1C010C});
//     world.addDevice({.address = address("5C:F3:70:12:8A:41"),
//                      .name = "Mara's phone",
//                      .classOfDevice = 0x5A020C,
//                      .records = {Record{.name = "Serial Port",
//                                         .comment = "Debug console",
//                                         .port = 3,
//                                         .bytes = sdpRecordBytes}}});
//     world.addDevice({.address = address("C4:7C:8D:00:12:9E")});  // no name, no class
//     world.failCall(Api::BluetoothGetRadioInfo, 2, ERROR_GEN_FAILURE);
//     world.setInquiryDuration(std::chrono::seconds(3));
//
//     // ... run the engine ...
//     auto begins = world.calls(Api::WSALookupServiceBeginW);
//     EXPECT_EQ(begins.at(0).flags, LUP_CONTAINERS | LUP_FLUSHCACHE);
//
// Loading the built-in neighbourhood of realistic devices instead:
//
//     loadDemoNeighbourhood(world);
//
// What the world answers:
// - Radio enumeration lists the radios in the order they were added.
//   BluetoothGetRadioInfo fails with Radio::infoError when it is non-zero.
// - An inquiry reports the devices in range in the order they were added
//   (a device added twice is reported twice). Cache or not, the answer is
//   the same: the world has no separate cache.
// - A service search names a device by address: a local radio or a device in
//   range. Its records are reported in order, those that do not mention the
//   restriction UUID left out. The records are read with the platform
//   layer's SDP decoder, the one the engine reads them with: a record whose
//   bytes are absent, or that the decoder refuses as one whole sequence, is
//   always reported, so hostile bytes reach the caller. An address that is
//   neither gives WSASERVICE_NOT_FOUND.
// - An inquiry result without an address, or with the null one, never
//   reaches the caller: the platform layer passes it over.
// - A service registration adds a record to the radio with the registration's
//   local address (or replaces the one with the same class UUID and name);
//   a deletion removes it. A later search on that radio sees the change.
//   Port BT_PORT_ANY takes the lowest RFCOMM channel the radio has free.
// - A result bigger than the caller's buffer comes from the content: a long
//   name, or a large record (a HID record with a long report descriptor).
//
// Every member function is safe to call from any thread (one lock guards the
// world); the waits of an inquiry or a service search happen outside it.
#pragma once

#include <corvale/compat/backend.h>
#include <corvale/compat/handles.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Corvale::Sim {

using Compat::Api;

// "XX:XX:XX:XX:XX:XX" (most significant byte first, either case) as a device
// address. Throws std::invalid_argument for any other text.
BTH_ADDR address(std::string_view text);

// One SDP record as a service search reports it: what the platform says about
// it (name, comment, port) beside the raw record bytes. Each may be absent.
struct Record {
    std::optional<std::string> name{};         // UTF-8, any bytes
    std::optional<std::string> comment{};      // UTF-8, any bytes
    std::optional<ULONG> port{};               // the RFCOMM channel or L2CAP PSM
    std::optional<std::vector<BYTE>> bytes{};  // the record as the device sent it
};

struct Radio {
    BTH_ADDR address = 0;  // 0 is the null address: the engine refuses it
    std::string name{};    // UTF-8; handed out cut to 247 characters
    ULONG classOfDevice = 0;
    USHORT lmpSubversion = 0;
    USHORT manufacturer = 0;
    std::vector<Record> records{};  // the services this radio publishes
    DWORD infoError = 0;            // non-zero: BluetoothGetRadioInfo fails with it
};

struct Device {
    // Absent, or 0 in its 48 bits: the platform layer passes the result
    // over, since no device has the null address.
    std::optional<BTH_ADDR> address{};
    std::optional<std::string> name{};  // UTF-8 bytes as received, may be invalid
    std::optional<ULONG> classOfDevice{};
    std::vector<Record> records{};
};

// One logged platform call: what it received.
using Call = Compat::CallInfo;

class World {
public:
    // The world behind the functions of the sim platform library.
    static World& instance();

    // Back to an empty world: no radio, no device, no fault, no log, timing
    // off, Winsock version 2.2, and no handle left open in the platform layer.
    void reset();

    // -- the scene
    void addRadio(Radio radio);
    void addDevice(Device device);
    void setDevices(std::vector<Device> devices);
    std::vector<Radio> radios() const;
    std::vector<Device> devices() const;

    // -- faults
    // The nth use (counting from 1 since reset) of api fails with code.
    void failCall(Api api, unsigned nth, DWORD code);
    // Every use of api from the nth on fails with code.
    void failFrom(Api api, unsigned nth, DWORD code);
    // The version WSAStartup reports as in use (a value below 2.0 makes the
    // engine refuse the session). Fail WSAStartup itself with failCall.
    void setWinsockVersion(WORD version);

    // -- timing (off by default; the demo turns it on)
    // How long an inquiry takes before its first result.
    void setInquiryDuration(std::chrono::milliseconds duration);
    // How long a service search takes before its first result.
    void setSdpDuration(std::chrono::milliseconds duration);

    // -- what the platform was asked
    std::vector<Call> calls() const;
    std::vector<Call> calls(Api api) const;
    // Uses of api since reset (also counted while logging is off).
    unsigned count(Api api) const;
    void clearLog();
    // Logging costs an allocation per call; benchmarks turn it off.
    void setLogging(bool on);

    // Handles the platform layer holds open right now.
    Compat::OpenHandles openHandles() const;
    // Inquiries and service searches that have begun and not ended.
    std::size_t openQueries() const;

    World(const World&) = delete;
    World& operator=(const World&) = delete;

private:
    World();
    ~World();
    friend class SimBackend;
    struct State;
    std::unique_ptr<State> state;
};

// Loads the built-in neighbourhood: two local radios and ten devices in
// range (phone, headset, headphones, keyboard, mouse, printer, car kit,
// laptop, a nameless band, a sensor with an invalid class word) with real
// SDP records. Adds to what the world holds; call reset() first for only it.
// Sets no timing: the demo sets its own.
void loadDemoNeighbourhood(World& world);

}  // namespace Corvale::Sim
