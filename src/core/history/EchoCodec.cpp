#include "history/EchoCodec.h"

#include "history/Varint.h"

#include <algorithm>

namespace {

// The record kinds and the flags of an extended record.
constexpr unsigned Plain = 0, TimedOut = 1, Extended = 2;
constexpr unsigned HasStatus = 4, HasRtt = 8, HasTtl = 16, HasFrom = 32, HasOffset = 64;

constexpr std::uint32_t kTimedOutStatus = 11010;

std::uint32_t usualStatus(EchoSample::Outcome outcome) {
    return outcome == EchoSample::Outcome::TimedOut ? kTimedOutStatus : 0;
}

void putAddress(std::string& out, const IpAddress& address) {
    if (address.isV4()) {
        out.push_back(1);
        out.append(reinterpret_cast<const char*>(address.bytes.data()), 4);
    } else if (address.isV6()) {
        out.push_back(2);
        out.append(reinterpret_cast<const char*>(address.bytes.data()), 16);
        varint::put(out, address.scope);
    } else {
        out.push_back(0);
    }
}

bool getAddress(const unsigned char*& p, const unsigned char* end, IpAddress& address) {
    if (p >= end)
        return false;
    const unsigned family = *p++;
    address = IpAddress{};
    if (family == 0)
        return true;
    const int length = family == 1 ? 4 : family == 2 ? 16 : -1;
    if (length < 0 || end - p < length)
        return false;
    address.family = family == 1 ? IpAddress::Family::V4 : IpAddress::Family::V6;
    std::copy(p, p + length, address.bytes.begin());
    p += length;
    if (family == 1)
        return true;
    std::uint64_t scope = 0;
    if (!varint::get(p, end, scope) || scope > UINT32_MAX)
        return false;
    address.scope = static_cast<std::uint32_t>(scope);
    return true;
}

} // namespace

void EchoCodec::encode(const StoredEcho& echo, std::string& out) {
    const std::int64_t step = echo.sentMs - m_state.timeMs;
    const std::uint64_t head = varint::zigzag(step - m_state.stepMs) << 2;
    m_state.timeMs = echo.sentMs;
    m_state.stepMs = step;
    const bool sameOffset = echo.offsetS == m_state.offsetS;
    if (sameOffset && echo.answered() && echo.status == 0 && echo.rttUs >= 0 && echo.ttl == m_state.ttl &&
        echo.from == m_address) {
        varint::put(out, head | Plain);
        varint::putSigned(out, echo.rttUs - m_state.rttUs);
        m_state.rttUs = echo.rttUs;
        return;
    }
    if (sameOffset && echo.outcome == EchoSample::Outcome::TimedOut && echo.status == kTimedOutStatus &&
        echo.rttUs < 0 && echo.ttl < 0 && !echo.from.valid()) {
        varint::put(out, head | TimedOut);
        return;
    }
    varint::put(out, head | Extended);
    const IpAddress usualFrom = echo.answered() ? m_address : IpAddress{};
    const int usualTtl = echo.answered() ? m_state.ttl : -1;
    unsigned flags = static_cast<unsigned>(echo.outcome);
    flags |= echo.status != usualStatus(echo.outcome) ? HasStatus : 0;
    flags |= echo.rttUs >= 0 ? HasRtt : 0;
    flags |= echo.ttl != usualTtl ? HasTtl : 0;
    flags |= echo.from != usualFrom ? HasFrom : 0;
    flags |= sameOffset ? 0 : HasOffset;
    out.push_back(static_cast<char>(flags));
    if (flags & HasStatus)
        varint::put(out, echo.status);
    if (flags & HasRtt) {
        varint::putSigned(out, echo.rttUs - m_state.rttUs);
        m_state.rttUs = echo.rttUs;
    }
    if (flags & HasTtl)
        varint::put(out, static_cast<std::uint64_t>(echo.ttl + 1));
    if (echo.answered())
        m_state.ttl = echo.ttl;
    if (flags & HasFrom)
        putAddress(out, echo.from);
    if (flags & HasOffset) {
        varint::putSigned(out, echo.offsetS);
        m_state.offsetS = echo.offsetS;
    }
}

bool EchoCodec::decode(const unsigned char*& p, const unsigned char* end, StoredEcho& echo) {
    std::uint64_t head = 0;
    if (!varint::get(p, end, head))
        return false;
    const std::int64_t step = m_state.stepMs + varint::unzigzag(head >> 2);
    m_state.stepMs = step;
    m_state.timeMs += step;
    echo = StoredEcho{};
    echo.sentMs = m_state.timeMs;
    const unsigned kind = head & 3;
    if (kind == Plain) {
        std::int64_t delta = 0;
        if (!varint::getSigned(p, end, delta))
            return false;
        m_state.rttUs += delta;
        echo.outcome = EchoSample::Outcome::Answered;
        echo.status = 0;
        echo.rttUs = m_state.rttUs;
        echo.ttl = m_state.ttl;
        echo.from = m_address;
        echo.offsetS = m_state.offsetS;
        return echo.rttUs >= 0;
    }
    if (kind == TimedOut) {
        echo.offsetS = m_state.offsetS;
        return true;
    }
    if (kind != Extended)
        return false;
    if (p >= end)
        return false;
    const unsigned flags = *p++;
    if ((flags & 3) > 2 || flags >= 128)
        return false;
    echo.outcome = static_cast<EchoSample::Outcome>(flags & 3);
    std::uint64_t value = 0;
    echo.status = usualStatus(echo.outcome);
    if (flags & HasStatus) {
        if (!varint::get(p, end, value) || value > UINT32_MAX)
            return false;
        echo.status = static_cast<std::uint32_t>(value);
    }
    if (flags & HasRtt) {
        std::int64_t delta = 0;
        if (!varint::getSigned(p, end, delta))
            return false;
        m_state.rttUs += delta;
        echo.rttUs = m_state.rttUs;
        if (echo.rttUs < 0)
            return false;
    }
    echo.ttl = echo.answered() ? m_state.ttl : -1;
    if (flags & HasTtl) {
        if (!varint::get(p, end, value) || value > 256)
            return false;
        echo.ttl = static_cast<int>(value) - 1;
    }
    if (echo.answered())
        m_state.ttl = echo.ttl;
    echo.from = echo.answered() ? m_address : IpAddress{};
    if ((flags & HasFrom) && !getAddress(p, end, echo.from))
        return false;
    if (flags & HasOffset) {
        std::int64_t offset = 0;
        if (!varint::getSigned(p, end, offset) || offset < -86400 || offset > 86400)
            return false;
        m_state.offsetS = static_cast<int>(offset);
    }
    echo.offsetS = m_state.offsetS;
    return true;
}

void EchoCodec::putState(std::string& out, const State& state, std::int64_t baseMs) {
    varint::putSigned(out, state.timeMs - baseMs);
    varint::putSigned(out, state.stepMs);
    varint::putSigned(out, state.rttUs);
    varint::put(out, static_cast<std::uint64_t>(state.ttl + 1));
    varint::putSigned(out, state.offsetS);
}

bool EchoCodec::getState(const unsigned char*& p, const unsigned char* end, std::int64_t baseMs, State& state) {
    std::int64_t time = 0;
    std::uint64_t ttl = 0;
    std::int64_t offset = 0;
    if (!varint::getSigned(p, end, time) || !varint::getSigned(p, end, state.stepMs) ||
        !varint::getSigned(p, end, state.rttUs) || !varint::get(p, end, ttl) || ttl > 256 ||
        !varint::getSigned(p, end, offset) || offset < -86400 || offset > 86400)
        return false;
    state.timeMs = baseMs + time;
    state.ttl = static_cast<int>(ttl) - 1;
    state.offsetS = static_cast<int>(offset);
    return true;
}

EchoCodec::State EchoCodec::blockStart(std::int64_t slotMs, int offsetS) {
    State s;
    s.timeMs = slotMs;
    s.offsetS = offsetS;
    return s;
}

bool EchoCodec::decodeAll(std::string_view data, const IpAddress& address, const State& start,
                          std::vector<StoredEcho>& out) {
    EchoCodec codec(address, start);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const unsigned char* end = p + data.size();
    StoredEcho echo;
    while (p < end) {
        if (!codec.decode(p, end, echo))
            return false;
        out.push_back(echo);
    }
    return true;
}
