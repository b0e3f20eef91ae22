// VendorName over the table generated from the IEEE registries. The expected
// owners are written out here from the registry files (ieee-data 20220827),
// chosen among blocks that stay put as the registries grow: the edges of each
// table, small blocks inside IEEE Registration Authority blocks with their
// neighbours, and names the CSV quotes, escapes or pads.
#include <corvale/BTVendor.h>

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <utility>

TEST(Vendor, MostSpecificRegisteredBlock) {
    using Owner = std::optional<std::string_view>;
    const Owner ieee = "IEEE Registration Authority";
    const std::pair<const wchar_t*, Owner> cases[] = {
        // The first and last MA-L blocks, at their first and last address.
        {L"00:00:00:00:00:00", "XEROX CORPORATION"},
        {L"FC:FF:AA:FF:FF:FF", ieee},
        // Past every table's end, and between blocks.
        {L"FF:FF:FF:FF:FF:FF", std::nullopt},
        {L"01:23:45:67:89:AB", std::nullopt},
        // The first and last MA-M and MA-S blocks.
        {L"00:55:DA:00:00:00", "Shinko Technos co.,ltd."},
        {L"FC:D2:B6:EF:FF:FF", "Univer S.p.A."},
        {L"00:1B:C5:00:00:00", "Converging Systems Inc."},
        {L"8C:1F:64:FF:CF:FF", "Invendis Technologies India Pvt Ltd"},
        // MA-M blocks side by side in an IEEE block: "&amp;" decoded, UTF-8,
        // "Private" kept rather than falling back to the enclosing owner.
        {L"B0:C5:CA:9F:FF:FF", "D&T Inc."},
        {L"B0:C5:CA:E0:00:00",
         "Audio Elektronik \xC4\xB0thalat \xC4\xB0hracat San ve Tic A.\xC5\x9E."},
        {L"B0:C5:CA:D8:00:00", "Private"},
        // An MA-S block, both ends, between two others in 70:B3:D5.
        {L"70:B3:D5:F2:EF:FF", "Shanghai JCY Technology Company"},
        {L"70:B3:D5:F2:F0:00", "TELEPLATFORMS"},
        {L"70:B3:D5:F2:FF:FF", "TELEPLATFORMS"},
        {L"70:B3:D5:F3:00:00", "ADE Technology Inc."},
        // An IAB block with no block after it: the enclosing owner there.
        {L"40:D8:55:1E:4F:FF", "STEK Ltd"},
        {L"40:D8:55:1E:50:00", ieee},
        // Quoted names: doubled quotes, an entity and a comma, padding.
        {L"00:50:C2:ED:A1:23", "Joint Stock Company \"Svyaz Inginiring M\""},
        {L"00:26:BD:12:34:56", "JTEC Card & Communication Co., Ltd"},
        {L"D8:86:0B:C0:00:00", "YUSAN INDUSTRIES LIMITED"},
    };
    for (const auto& [text, owner] : cases)
        EXPECT_EQ(Corvale::VendorName(*Corvale::BTAddress::fromString(text)), owner) << text;
}
