#include "history/SlotBuffer.h"

#include "history/Varint.h"

#include <algorithm>

SlotBuffer::SlotBuffer(std::int64_t startMs, const IpAddress& address, int offsetS)
    : m_startMs(startMs), m_address(address), m_startOffset(offsetS),
      m_codec(address, EchoCodec::blockStart(startMs, offsetS)), m_journaledState(m_codec.state()) {}

void SlotBuffer::append(const StoredEcho& echo) {
    if (m_count > 0 && echo.sentMs <= m_lastMs)
        m_inOrder = false;
    if (m_count == m_journaledCount)
        m_firstUnjournaledMs = echo.sentMs;
    else
        m_firstUnjournaledMs = std::min(m_firstUnjournaledMs, echo.sentMs);
    m_lastMs = m_count > 0 ? std::max(m_lastMs, echo.sentMs) : echo.sentMs;
    m_codec.encode(echo, m_bytes);
    ++m_count;
}

std::vector<StoredEcho> SlotBuffer::echoes() const {
    std::vector<StoredEcho> out;
    out.reserve(static_cast<std::size_t>(m_count));
    EchoCodec::decodeAll(m_bytes, m_address, EchoCodec::blockStart(m_startMs, m_startOffset), out);
    return out;
}

std::string SlotBuffer::section(std::int64_t baseMs) const {
    std::string out;
    EchoCodec::putState(out, m_journaledState, baseMs);
    varint::put(out, static_cast<std::uint64_t>(unjournaled()));
    out.append(m_bytes, m_journaledBytes, std::string::npos);
    return out;
}

void SlotBuffer::markJournaled() {
    m_journaledBytes = m_bytes.size();
    m_journaledCount = m_count;
    m_journaledState = m_codec.state();
}

void SlotBuffer::forgetJournal() {
    m_journaledBytes = 0;
    m_journaledCount = 0;
    m_journaledState = EchoCodec::blockStart(m_startMs, m_startOffset);
    m_firstUnjournaledMs = m_startMs;
}
