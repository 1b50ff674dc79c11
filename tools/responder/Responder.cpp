#include "Responder.h"

#include "Forge6.h"

#include <optional>
#include <utility>

namespace responder {

namespace {

// How an error mode quotes the request; nothing for the modes that reply.
std::optional<Quote> errorQuote(Mode mode) {
    switch (mode) {
    case Mode::Error:
        return Quote::AsSent;
    case Mode::ErrorWrongSeq:
        return Quote::WrongSeq;
    case Mode::ErrorWrongId:
        return Quote::WrongId;
    case Mode::ErrorTruncate:
        return Quote::HeaderOnly;
    default:
        return std::nullopt;
    }
}

} // namespace

Responder::Responder(Config config) : config_(std::move(config)) {}

const Rule& Responder::ruleFor(const Address& address) const {
    const auto it = config_.rules.find(address);
    return it != config_.rules.end() ? it->second : config_.defaultRule;
}

std::vector<Answer> Responder::handle(const EchoRequest& request, std::string& note) {
    const Rule& rule = ruleFor(request.destination);
    AddressState& state = states_[request.destination];
    const std::uint64_t index = state.received++;

    Bytes reply = echoReply(request);
    // The history moves on with every request, answered or dropped.
    std::optional<Bytes> previous;
    if (rule.mode == Mode::Stale)
        previous = std::exchange(state.previousReply, reply);

    if (!rule.loss.empty() && rule.loss[index % rule.loss.size()] == 'x') {
        note = "dropped (loss)";
        return {};
    }

    const bool v6 = request.destination.isV6();
    Address source = request.destination;
    Bytes icmp;
    switch (rule.mode) {
    case Mode::Normal:
        icmp = std::move(reply);
        break;
    case Mode::Stale:
        if (!previous) {
            note = "nothing (stale, no previous request)";
            return {};
        }
        icmp = std::move(*previous);
        break;
    case Mode::WrongSeq:
        icmp = std::move(reply);
        bumpSeq(icmp);
        break;
    case Mode::WrongId:
        icmp = std::move(reply);
        bumpId(icmp);
        break;
    case Mode::Spoof:
        // A --default spoof rule meets requests of both families.
        if (rule.spoofSource.family != request.destination.family) {
            note = "nothing (spoof source of the other family)";
            return {};
        }
        icmp = std::move(reply);
        source = rule.spoofSource;
        break;
    case Mode::BadSum: // spoilt once the datagram is built
        icmp = std::move(reply);
        break;
    case Mode::Truncate:
        icmp = std::move(reply);
        truncateData(icmp, rule.truncateTo);
        break;
    case Mode::BadData:
        icmp = std::move(reply);
        alterData(icmp);
        break;
    case Mode::Error:
    case Mode::ErrorWrongSeq:
    case Mode::ErrorWrongId:
    case Mode::ErrorTruncate:
        icmp =
            v6 ? icmp6Error(request, rule.errorType, rule.errorCode, *errorQuote(rule.mode))
               : icmpError(request, rule.errorType, rule.errorCode, request.destination.v4(), *errorQuote(rule.mode));
        break;
    }

    const std::uint32_t delay = rule.delayMs.value_or(config_.delayMs);
    const std::uint8_t ttl = rule.ttl.value_or(config_.ttl);
    Bytes datagram =
        v6 ? ip6Datagram(source, request.source, ttl, icmp) : ipDatagram(source.v4(), request.source.v4(), ttl, icmp);
    if (rule.mode == Mode::BadSum)
        spoilChecksum(datagram);
    std::vector<Answer> answers;
    answers.push_back({delay, request.source, std::move(datagram)});
    if (rule.dupMs)
        answers.push_back({delay + *rule.dupMs, request.source, answers.front().datagram});

    note = modeName(rule.mode);
    if (errorQuote(rule.mode))
        note += " " + std::to_string(rule.errorType) + "/" + std::to_string(rule.errorCode);
    if (rule.mode == Mode::Spoof)
        note += " from " + formatAddress(source);
    note += " after " + std::to_string(delay) + " ms";
    if (rule.dupMs)
        note += ", copy after " + std::to_string(delay + *rule.dupMs) + " ms";
    return answers;
}

} // namespace responder
