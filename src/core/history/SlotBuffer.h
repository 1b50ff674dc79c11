#pragma once

#include "history/EchoCodec.h"

#include <cstdint>
#include <string>
#include <vector>

// The echoes of one series in one slot while the slot is open: packed as
// its block will hold them, with the part the journal already has marked.
class SlotBuffer {
public:
    SlotBuffer(std::int64_t startMs, const IpAddress& address, int offsetS);

    void append(const StoredEcho& echo);

    std::int64_t startMs() const { return m_startMs; }
    int count() const { return m_count; }
    // The block's bytes and its `utc_offset`, usable as they are when the
    // echoes came in time order.
    const std::string& bytes() const { return m_bytes; }
    int startOffset() const { return m_startOffset; }
    bool inOrder() const { return m_inOrder; }
    std::vector<StoredEcho> echoes() const;

    // The echoes the journal does not hold yet, as a journal section with
    // times relative to `baseMs`.
    int unjournaled() const { return m_count - m_journaledCount; }
    std::int64_t firstUnjournaledMs() const { return m_firstUnjournaledMs; }
    std::int64_t lastMs() const { return m_lastMs; }
    std::string section(std::int64_t baseMs) const;
    // The journal now holds them all.
    void markJournaled();
    // The journal holds none of them (it is another file's).
    void forgetJournal();

private:
    std::int64_t m_startMs;
    IpAddress m_address;
    int m_startOffset;
    EchoCodec m_codec;
    std::string m_bytes;
    int m_count = 0;
    bool m_inOrder = true;
    std::int64_t m_lastMs = 0;
    std::size_t m_journaledBytes = 0;
    int m_journaledCount = 0;
    EchoCodec::State m_journaledState;
    std::int64_t m_firstUnjournaledMs = 0;
};
