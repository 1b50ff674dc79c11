#include "Responder.h"

#include "Text.h"

#include <utility>

namespace responder {

Responder::Responder(Config config) : config_(std::move(config)) {}

const Rule& Responder::ruleFor(std::uint32_t address) const {
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

    std::uint32_t source = request.destination;
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
        icmp = std::move(reply);
        source = rule.spoofSource;
        break;
    case Mode::BadSum:
        icmp = std::move(reply);
        spoilChecksum(icmp);
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
        icmp =
            icmpError(request, rule.errorType, rule.errorCode, request.destination, rule.mode == Mode::ErrorWrongSeq);
        break;
    }

    const std::uint32_t delay = rule.delayMs.value_or(config_.delayMs);
    const std::uint8_t ttl = rule.ttl.value_or(config_.ttl);
    std::vector<Answer> answers;
    answers.push_back({delay, request.source, ipDatagram(source, request.source, ttl, icmp)});
    if (rule.dupMs)
        answers.push_back({delay + *rule.dupMs, request.source, answers.front().datagram});

    note = modeName(rule.mode);
    if (rule.mode == Mode::Error || rule.mode == Mode::ErrorWrongSeq)
        note += " " + std::to_string(rule.errorType) + "/" + std::to_string(rule.errorCode);
    if (rule.mode == Mode::Spoof)
        note += " from " + formatIpv4(source);
    note += " after " + std::to_string(delay) + " ms";
    if (rule.dupMs)
        note += ", copy after " + std::to_string(delay + *rule.dupMs) + " ms";
    return answers;
}

} // namespace responder
