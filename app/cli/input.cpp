#include "input.h"

#include <corvale/bt/hex.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

namespace CorvaleCli {

namespace {

std::string mib(std::size_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::FILE* openForReading(const std::string& path) {
#ifdef _WIN32
    // The path is UTF-8 (the program's arguments are read as wide text and
    // converted); the C library's fopen would take it in the ANSI code page.
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return _wfopen(wide.c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

}  // namespace

std::optional<std::string> readInput(const std::string& path, std::string& error) {
    const bool standardInput = path == "-";
    const std::string name = standardInput ? std::string("standard input") : path;
    std::unique_ptr<std::FILE, FileCloser> owned;
    std::FILE* in = stdin;
    if (!standardInput) {
        owned.reset(openForReading(path));
        if (!owned) {
            error = "cannot open " + name + ": " + std::strerror(errno);
            return std::nullopt;
        }
        in = owned.get();
    }
    std::string data;
    char chunk[64 * 1024];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, in);
        if (n > kMaxInputBytes - data.size()) {
            error = name + " holds more than " + mib(kMaxInputBytes) +
                    ", far more than any SDP record; give the record alone";
            return std::nullopt;
        }
        data.append(chunk, n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(in)) {
        error = "cannot read " + name + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return data;
}

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

struct Token {
    std::size_t begin, end;  // columns within the line
};

std::vector<Token> tokens(std::string_view line) {
    std::vector<Token> out;
    for (std::size_t at = 0; at < line.size();) {
        if (isSpace(line[at]) || line[at] == ',') {
            ++at;
            continue;
        }
        const std::size_t begin = at;
        while (at < line.size() && !isSpace(line[at]) && line[at] != ',') ++at;
        out.push_back({begin, at});
    }
    return out;
}

bool allHex(std::string_view digits) {
    if (digits.empty()) return false;
    for (char c : digits)
        if (Corvale::Bt::hexDigit(c) < 0) return false;
    return true;
}

// A dump's offset column: a hexadecimal number of four digits or more.
std::optional<std::size_t> offsetValue(std::string_view digits) {
    if (digits.size() < 4 || digits.size() > 12 || !allHex(digits)) return std::nullopt;
    std::size_t value = 0;
    for (char c : digits) value = value * 16 + static_cast<std::size_t>(Corvale::Bt::hexDigit(c));
    return value;
}

// How a dump tool prints bytes beside their digits.
std::string printable(const std::vector<unsigned char>& bytes) {
    std::string out;
    for (unsigned char b : bytes) out += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

class HexReader {
public:
    std::optional<std::vector<unsigned char>> read(std::string_view text, std::string& error) {
        std::size_t lineNumber = 0;
        while (!text.empty()) {
            ++lineNumber;
            const std::size_t newline = text.find('\n');
            const std::string_view line = text.substr(0, newline);
            text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
            if (!readLine(line)) {
                error = "line " + std::to_string(lineNumber) + ", column " +
                        std::to_string(column_ + 1) + ": " + why_;
                return std::nullopt;
            }
        }
        if (repeatPending_) {
            error =
                "the \"*\" of a hexdump (a repeated line) is not followed by the offset that "
                "ends it";
            return std::nullopt;
        }
        return std::move(bytes_);
    }

private:
    bool fail(std::size_t column, std::string why) {
        column_ = column;
        why_ = std::move(why);
        return false;
    }

    bool readLine(std::string_view line) {
        const std::vector<Token> all = tokens(line);
        if (all.empty()) return true;
        const auto text = [&](const Token& t) { return line.substr(t.begin, t.end - t.begin); };

        if (all.size() == 1 && text(all[0]) == "*" && sawOffset_ && !lastLine_.empty()) {
            repeatPending_ = true;
            return true;
        }
        // xxd's offset, which cannot be anything else.
        const std::string_view first = text(all[0]);
        if (first.size() > 1 && first.back() == ':') {
            const std::optional<std::size_t> at = offsetValue(first.substr(0, first.size() - 1));
            if (!at) return fail(all[0].begin, "\"" + std::string(first) + "\" is not an offset");
            if (!takeOffset(*at, all[0].begin)) return false;
            return readGroups(line, all, 1, false);
        }
        // hexdump's and od's offset: a number of four digits or more before
        // groups of exactly two (or alone, ending a dump that had offsets).
        // Where it continues the bytes before it, it is one; where it does not,
        // six digits or more still make it one, of a dump that is not whole;
        // shorter, the line is data.
        if (const std::optional<std::size_t> at = offsetValue(first);
            at && (all.size() > 1 || sawOffset_)) {
            const std::size_t size = bytes_.size();
            const std::vector<unsigned char> last = lastLine_;
            const bool pending = repeatPending_, saw = sawOffset_;
            const auto restore = [&] {
                bytes_.resize(size);
                lastLine_ = last;
                repeatPending_ = pending;
                sawOffset_ = saw;
            };
            if (continues(*at)) {
                if (!takeOffset(*at, all[0].begin)) return false;
                if (readGroups(line, all, 1, true)) return true;
                restore();
            } else if (first.size() >= 6 && readGroups(line, all, 1, true)) {
                restore();
                if (repeatPending_)
                    return fail(all[0].begin, "offset " + std::string(first) +
                                                  " does not end the repeat of the line before "
                                                  "\"*\"");
                return fail(all[0].begin, "offset " + std::string(first) + " does not follow the " +
                                              std::to_string(size) +
                                              " bytes before it: the dump is not whole");
            } else {
                restore();
            }
        }
        if (repeatPending_)
            return fail(all[0].begin,
                        "a hexdump's \"*\" must be followed by the offset that "
                        "ends the repeat");
        return readGroups(line, all, 0, false);
    }

    // Whether an offset could stand at this place: the count of the bytes so
    // far, or past it by whole repeats of the line before a "*".
    bool continues(std::size_t offset) const {
        if (!repeatPending_) return offset == bytes_.size();
        return offset > bytes_.size() && (offset - bytes_.size()) % lastLine_.size() == 0;
    }

    bool takeOffset(std::size_t offset, std::size_t column) {
        if (repeatPending_) {
            if (!continues(offset))
                return fail(column, "the offset does not end the repeat of the line before \"*\"");
            if (offset > kMaxInputBytes)
                return fail(column, "the repeat goes past " + mib(kMaxInputBytes));
            while (bytes_.size() < offset)
                bytes_.insert(bytes_.end(), lastLine_.begin(), lastLine_.end());
            repeatPending_ = false;
        } else if (offset != bytes_.size()) {
            return fail(column, "offset " + std::to_string(offset) + ", but " +
                                    std::to_string(bytes_.size()) + " bytes came before it");
        }
        sawOffset_ = true;
        return true;
    }

    // The groups of digits from token `from` on, up to a character column if
    // the line has one. pairsOnly: every group must be exactly two digits.
    bool readGroups(std::string_view line, const std::vector<Token>& all, std::size_t from,
                    bool pairsOnly) {
        std::vector<unsigned char> bytes;
        for (std::size_t i = from; i < all.size(); ++i) {
            // Two spaces or more before the rest of the line, which is exactly
            // the bytes so far as characters (btmon, xxd), or those between
            // bars (hexdump -C): the character column.
            if (i > from && !bytes.empty() && all[i].begin - all[i - 1].end >= 2 &&
                line.substr(all[i - 1].end, all[i].begin - all[i - 1].end).find(',') ==
                    std::string_view::npos) {
                const std::string_view rest = trimmed(line.substr(all[i].begin));
                const std::string shown = printable(bytes);
                if (rest == trimmed(shown) || rest == "|" + shown + "|") break;
            }
            if (!readGroup(line, all[i], pairsOnly, bytes)) return false;
        }
        if (bytes.size() > kMaxInputBytes - bytes_.size())
            return fail(all.back().end, "more than " + mib(kMaxInputBytes) + " of bytes");
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        if (!bytes.empty()) lastLine_ = std::move(bytes);
        return true;
    }

    bool readGroup(std::string_view line, Token t, bool pairsOnly,
                   std::vector<unsigned char>& out) {
        std::string_view digits = line.substr(t.begin, t.end - t.begin);
        std::size_t column = t.begin;
        const bool prefixed = digits.size() >= 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x';
        if (prefixed) {
            digits.remove_prefix(2);
            column += 2;
            if (digits.empty()) return fail(t.begin, "\"0x\" without digits");
        }
        for (std::size_t i = 0; i < digits.size(); ++i)
            if (Corvale::Bt::hexDigit(digits[i]) < 0)
                return fail(column + i,
                            "'" + std::string(1, digits[i]) + "' is not a hexadecimal digit");
        if (pairsOnly && (prefixed || digits.size() != 2)) return fail(t.begin, "not a byte");
        if (digits.size() % 2 != 0) {
            if (!prefixed)
                return fail(t.begin, "an odd number of hexadecimal digits (\"" +
                                         std::string(digits) + "\")");
            out.push_back(static_cast<unsigned char>(Corvale::Bt::hexDigit(digits[0])));
            digits.remove_prefix(1);
        }
        for (std::size_t i = 0; i < digits.size(); i += 2)
            out.push_back(static_cast<unsigned char>(Corvale::Bt::hexDigit(digits[i]) * 16 +
                                                     Corvale::Bt::hexDigit(digits[i + 1])));
        return true;
    }

    std::vector<unsigned char> bytes_, lastLine_;
    bool sawOffset_ = false, repeatPending_ = false;
    std::size_t column_ = 0;
    std::string why_;
};

}  // namespace

std::optional<std::vector<unsigned char>> parseHex(std::string_view text, std::string& error) {
    return HexReader().read(text, error);
}

}  // namespace CorvaleCli
