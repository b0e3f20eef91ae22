// corvale-sdp-corpus DIR: writes the SDP records that the differential check
// of SDP parsers feeds to the Windows build and to the compat layer, one file
// per record: the records of the libbluetooth cross-checks (under every
// record header that fits), one element of every type and size descriptor,
// and the records of the demo neighbourhood's radios and devices. The fuzz
// corpora are read from fuzz/corpus/ as they are.
#include "../platform/sdp_crosscheck_records.h"

#include <corvale/sim/World.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::filesystem::path gDir;
int gCount = 0;

void write(const std::string& name, const std::vector<BYTE>& bytes) {
    std::string file;
    for (char c : name) file += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    std::ofstream(gDir / (file + ".bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ++gCount;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvale-sdp-corpus DIR\n");
        return 2;
    }
    gDir = argv[1];
    std::filesystem::create_directories(gDir);

    using namespace sdptest;
    for (const HeadedRecord& r : headedRecords()) write("crosscheck " + r.name, r.bytes);
    int n = 0;
    for (const auto& [bytes, type, specificType] : kElements) {
        char name[32];
        std::snprintf(name, sizeof name, "element %02d", n++);
        write(name, bytes);
    }

    using namespace Corvale::Sim;
    World& world = World::instance();
    world.reset();
    loadDemoNeighbourhood(world);
    auto records = [](const std::string& owner, const std::vector<Record>& list) {
        int i = 0;
        for (const Record& r : list) {
            ++i;
            if (r.bytes) write("demo " + owner + " " + std::to_string(i), *r.bytes);
        }
    };
    for (const Radio& radio : world.radios()) records("radio " + radio.name, radio.records);
    for (const Device& device : world.devices())
        records("device " + device.name.value_or("nameless"), device.records);
    std::printf("corvale-sdp-corpus: %d records in %s\n", gCount, gDir.string().c_str());
    return 0;
}
