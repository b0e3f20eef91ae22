// A document read by expat, a real XML parser (test-only): its elements in
// document order with their attributes and nesting, or nothing when it is
// not well-formed.
#pragma once

#include <expat.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace xmltest {

// The elements of a document in document order, with their attributes and
// nesting; nothing when expat finds the document not well-formed.
struct Node {
    std::string name;
    std::map<std::string, std::string> attributes;
    int depth;
};

inline std::optional<std::vector<Node>> parse(const std::string& xml) {
    struct State {
        std::vector<Node> nodes;
        int depth = 0;
    } state;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            auto& s = *static_cast<State*>(data);
            Node node{name, {}, ++s.depth};
            for (int i = 0; attributes[i]; i += 2)
                node.attributes[attributes[i]] = attributes[i + 1];
            s.nodes.push_back(std::move(node));
        },
        [](void* data, const XML_Char*) { --static_cast<State*>(data)->depth; });
    const bool ok = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    if (!ok) return std::nullopt;
    return state.nodes;
}

// Bytes from pairs of hex digits.
inline std::string unhex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// The bytes of a text or URL node as BlueZ reads them: hex pairs when so
// encoded, else the value itself.
inline std::string textBytes(const Node& n) {
    const std::string& value = n.attributes.at("value");
    const auto encoding = n.attributes.find("encoding");
    if (encoding == n.attributes.end()) return value;
    return encoding->second == "hex" ? unhex(value) : "(encoding " + encoding->second + ")";
}

}  // namespace xmltest
