#include "Rule.h"

#include "Text.h"

#include "IcmpWire.h"

#include <array>
#include <set>

namespace responder {

namespace {

struct ModeWord {
    std::string_view word;
    Mode mode;
    bool takesValue;
};

constexpr std::array kModeWords{
    ModeWord{"normal", Mode::Normal, false},
    ModeWord{"stale", Mode::Stale, false},
    ModeWord{"wrongseq", Mode::WrongSeq, false},
    ModeWord{"wrongid", Mode::WrongId, false},
    ModeWord{"spoof", Mode::Spoof, true},
    ModeWord{"badsum", Mode::BadSum, false},
    ModeWord{"truncate", Mode::Truncate, true},
    ModeWord{"baddata", Mode::BadData, false},
    ModeWord{"error", Mode::Error, true},
    ModeWord{"error-wrongseq", Mode::ErrorWrongSeq, true},
    ModeWord{"error-wrongid", Mode::ErrorWrongId, true},
    ModeWord{"error-truncate", Mode::ErrorTruncate, true},
};

const ModeWord* findMode(std::string_view word) {
    for (const ModeWord& m : kModeWords) {
        if (m.word == word)
            return &m;
    }
    return nullptr;
}

// "TYPE/CODE", both 0..255.
bool parseTypeCode(std::string_view text, Rule& rule) {
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        return false;
    const auto type = parseNumber(text.substr(0, slash), 255);
    const auto code = parseNumber(text.substr(slash + 1), 255);
    if (!type || !code)
        return false;
    rule.errorType = static_cast<std::uint8_t>(*type);
    rule.errorCode = static_cast<std::uint8_t>(*code);
    return true;
}

// Reads the value of a mode option into `rule`; false if it is malformed.
bool applyModeValue(Mode mode, std::string_view value, Rule& rule) {
    switch (mode) {
    case Mode::Spoof: {
        const auto address = parseAddress(value);
        if (!address)
            return false;
        rule.spoofSource = *address;
        return true;
    }
    case Mode::Truncate: {
        const auto n = parseNumber(value, icmpwire::kMaxPayload);
        if (!n)
            return false;
        rule.truncateTo = *n;
        return true;
    }
    case Mode::Error:
    case Mode::ErrorWrongSeq:
    case Mode::ErrorWrongId:
    case Mode::ErrorTruncate:
        return parseTypeCode(value, rule);
    default:
        return false;
    }
}

bool validLossPattern(std::string_view pattern) {
    if (pattern.empty())
        return false;
    for (char c : pattern) {
        if (c != '.' && c != 'x')
            return false;
    }
    return true;
}

} // namespace

std::optional<Rule> parseRule(std::string_view options, std::string& error) {
    Rule rule;
    std::set<std::string, std::less<>> seen;
    const ModeWord* chosenMode = nullptr;

    if (options.empty()) {
        error = "empty option list";
        return std::nullopt;
    }
    std::size_t start = 0;
    while (start <= options.size()) {
        const std::size_t comma = std::min(options.find(',', start), options.size());
        const std::string_view item = options.substr(start, comma - start);
        start = comma + 1;

        if (item.empty()) {
            error = "empty option in '" + std::string(options) + "'";
            return std::nullopt;
        }
        const std::size_t eq = item.find('=');
        const std::string_view key = item.substr(0, eq);
        const bool hasValue = eq != std::string_view::npos;
        const std::string_view value = hasValue ? item.substr(eq + 1) : std::string_view{};
        const std::string keyText(key);

        if (!seen.insert(keyText).second) {
            error = "option '" + keyText + "' given twice";
            return std::nullopt;
        }
        auto bad = [&](const char* what) {
            error = "option '" + std::string(item) + "': " + what;
            return std::nullopt;
        };

        if (key == "delay" || key == "dup") {
            const auto ms = hasValue ? parseNumber(value, kMaxDelayMs) : std::nullopt;
            if (!ms)
                return bad("expected milliseconds (0..86400000)");
            (key == "delay" ? rule.delayMs : rule.dupMs) = *ms;
            continue;
        }
        if (key == "ttl") {
            const auto ttl = hasValue ? parseNumber(value, 255) : std::nullopt;
            if (!ttl || *ttl == 0)
                return bad("expected a TTL of 1..255");
            rule.ttl = static_cast<std::uint8_t>(*ttl);
            continue;
        }
        if (key == "loss") {
            if (!hasValue || !validLossPattern(value))
                return bad("expected a pattern of '.' (answer) and 'x' (drop)");
            rule.loss = std::string(value);
            continue;
        }

        const ModeWord* mode = findMode(key);
        if (mode == nullptr)
            return bad("unknown option");
        if (chosenMode != nullptr) {
            error = "options '" + std::string(chosenMode->word) + "' and '" + keyText +
                    "' exclude each other (at most one of normal, stale, wrongseq, wrongid, spoof, badsum, "
                    "truncate, baddata, error, error-wrongseq, error-wrongid, error-truncate)";
            return std::nullopt;
        }
        chosenMode = mode;
        rule.mode = mode->mode;
        if (!mode->takesValue) {
            if (hasValue)
                return bad("takes no value");
            continue;
        }
        if (!hasValue || !applyModeValue(mode->mode, value, rule)) {
            if (mode->mode == Mode::Spoof)
                return bad("expected an IPv4 or IPv6 address");
            if (mode->mode == Mode::Truncate)
                return bad("expected a byte count (0..65507)");
            return bad("expected TYPE/CODE, each 0..255");
        }
    }
    return rule;
}

const char* modeName(Mode mode) {
    for (const ModeWord& m : kModeWords) {
        if (m.mode == mode)
            return m.word.data();
    }
    return "?";
}

} // namespace responder
