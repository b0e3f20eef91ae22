#include <corvale/inspect/Table.h>

namespace Corvale::Inspect {

std::string spreadsheetText(std::string_view text) {
    std::string cell;
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        cell = "'";
    cell += text;
    return cell;
}

std::string csvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += ',';
        const std::string cell = spreadsheetText(cells[i]);
        if (cell.find_first_of(",\"\r\n") == std::string::npos) {
            line += cell;
            continue;
        }
        line += '"';
        for (const char c : cell) {
            if (c == '"') line += '"';
            line += c;
        }
        line += '"';
    }
    return line + "\r\n";
}

std::string tsvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += '\t';
        for (const char c : spreadsheetText(cells[i]))
            line += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    }
    return line + '\n';
}

}  // namespace Corvale::Inspect
