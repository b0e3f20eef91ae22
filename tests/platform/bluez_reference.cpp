// libbluetooth's reading of a record: sdp_extract_pdu, each attribute written
// back by sdp_gen_pdu, and the class list by sdp_get_service_classes.
#include "bluez_reference.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace sdptest {

namespace {

// sdp_data_free frees a sequence's children but not an alternative's.
void freeChildren(sdp_data_t* d) {
    if (!SDP_IS_SEQ(d->dtd) && !SDP_IS_ALT(d->dtd)) return;
    for (sdp_data_t* c = d->val.dataseq; c;) {
        freeChildren(c);
        sdp_data_free(std::exchange(c, c->next));
    }
    d->val.dataseq = nullptr;
}

}  // namespace

BluezParse bluezParse(const std::vector<std::uint8_t>& record) {
    BluezParse out;
    int scanned = 0;
    sdp_record_t* rec = sdp_extract_pdu(record.data(), static_cast<int>(record.size()), &scanned);
    if (rec == nullptr) return out;
    out.scanned = static_cast<std::size_t>(scanned);
    // Attribute by attribute: sdp_gen_record_pdu sizes its buffer from an
    // estimate that comes out short for some records.
    for (sdp_list_t* l = rec->attrlist; l; l = l->next) {
        auto* d = static_cast<sdp_data_t*>(l->data);
        std::vector<std::uint8_t> room(2 * record.size() + 64);
        sdp_buf_t buf{room.data(), 0, static_cast<std::uint32_t>(room.size())};
        sdp_set_attrid(&buf, d->attrId);
        if (sdp_gen_pdu(&buf, d) < 0) throw std::runtime_error("sdp_gen_pdu failed");
        out.attributes.insert(out.attributes.end(), room.begin(), room.begin() + buf.data_size);
    }
    sdp_list_t* classes = nullptr;
    if (sdp_get_service_classes(rec, &classes) == 0) {
        out.classes.emplace();
        for (sdp_list_t* l = classes; l; l = l->next) {
            const uuid_t u = *static_cast<const uuid_t*>(l->data);
            uuid_t full = u;
            if (u.type == SDP_UUID16) sdp_uuid16_to_uuid128(&full, &u);
            if (u.type == SDP_UUID32) sdp_uuid32_to_uuid128(&full, &u);
            char s[MAX_LEN_UUID_STR + 1] = "{";
            sdp_uuid2strn(&full, s + 1, MAX_LEN_UUID_STR);
            for (char* c = s; *c; ++c) *c = static_cast<char>(std::toupper(*c));
            out.classes->push_back(std::string(s) + "}");
        }
        sdp_list_free(classes, free);
    }
    for (sdp_list_t* l = rec->attrlist; l; l = l->next)
        freeChildren(static_cast<sdp_data_t*>(l->data));
    sdp_record_free(rec);
    return out;
}

}  // namespace sdptest
