#include <corvale/bt/record_xml.h>
#include <corvale/inspect/Xml.h>

namespace Corvale::Inspect {

namespace {

using Bt::RecordElement;

RecordElement element(const BTRecord& record, const BTElement& e) {
    switch (e.type) {
        case BTElementType::Nil:
            return RecordElement::nil();
        case BTElementType::Uint8:
        case BTElementType::Uint16:
        case BTElementType::Uint32:
        case BTElementType::Uint64:
            return RecordElement::unsignedInt(
                1u << (static_cast<unsigned>(e.type) - static_cast<unsigned>(BTElementType::Uint8)),
                e.number);
        case BTElementType::Int8:
        case BTElementType::Int16:
        case BTElementType::Int32:
        case BTElementType::Int64:
            return RecordElement::signedInt(
                1u << (static_cast<unsigned>(e.type) - static_cast<unsigned>(BTElementType::Int8)),
                e.asSigned());
        case BTElementType::Uint128:
            return RecordElement::int128(false, e.wide);
        case BTElementType::Int128:
            return RecordElement::int128(true, e.wide);
        case BTElementType::Uuid16:
            return RecordElement::uuid16(static_cast<std::uint16_t>(e.number));
        case BTElementType::Uuid32:
            return RecordElement::uuid32(static_cast<std::uint32_t>(e.number));
        case BTElementType::Uuid128:
            return RecordElement::uuid128(e.wide);
        case BTElementType::Text:
            return RecordElement::text(std::string(record.Text(e)));
        case BTElementType::Url:
            return RecordElement::url(std::string(record.Text(e)));
        case BTElementType::Bool:
            return RecordElement::boolean(e.number != 0);
        case BTElementType::Sequence:
        case BTElementType::Alternative: {
            std::vector<RecordElement> children;
            children.reserve(e.count);
            for (const BTElement& child : record.Children(e))
                children.push_back(element(record, child));
            return e.type == BTElementType::Sequence
                       ? RecordElement::sequence(std::move(children))
                       : RecordElement::alternative(std::move(children));
        }
    }
    return RecordElement::nil();
}

}  // namespace

std::string recordXml(const BTRecord& record) {
    std::vector<Bt::RecordAttribute> attributes;
    attributes.reserve(record.Attributes().size());
    for (const BTAttribute& a : record.Attributes())
        attributes.push_back({a.id, element(record, record.Value(a))});
    return Bt::recordXml(attributes);
}

}  // namespace Corvale::Inspect
