#include "EchoMux.h"

#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using icmpwire::Expectation;
using icmpwire::Outcome;
using icmpwire::Verdict;

namespace {

// Datagrams or queued errors read per wake-up, so that a flood cannot keep
// the event loop from everything else.
constexpr int kReadBatch = 256;
// Room for a burst of replies from a thousand hosts before the loop gets to
// read them; a smaller system limit is fine too.
constexpr int kReceiveBufferBytes = 1 << 20;
// In a long run of sends, the replies to the first ones are read every so
// many sends, so that they do not overflow a small receive buffer.
constexpr int kSendsPerCollect = 32;

// Skips an IPv4 header; false if there is no complete one.
bool skipIpHeader(std::span<const std::uint8_t>& bytes) {
    if (bytes.size() < icmpwire::kMinIpHeaderSize)
        return false;
    const std::size_t ihl = std::size_t{bytes[0] & 0x0Fu} * 4;
    if (ihl < icmpwire::kMinIpHeaderSize || ihl > bytes.size())
        return false;
    bytes = bytes.subspan(ihl);
    return true;
}

// The sequence number an ICMP message is about: its own for an echo reply,
// the quoted request's for an error. Only a key to find the echo by; the
// full check against that echo follows.
std::optional<std::uint16_t> sequenceOf(EchoMux::Kind kind, std::span<const std::uint8_t> bytes) {
    if (kind == EchoMux::Kind::Raw) {
        if (!skipIpHeader(bytes) || bytes.size() < icmpwire::kIcmpHeaderSize)
            return std::nullopt;
        if (icmpwire::isErrorType(bytes[0])) {
            bytes = bytes.subspan(icmpwire::kIcmpHeaderSize);
            if (!skipIpHeader(bytes))
                return std::nullopt;
        }
    }
    if (bytes.size() < icmpwire::kIcmpHeaderSize)
        return std::nullopt;
    return icmpwire::readBe16(&bytes[6]);
}

} // namespace

// One host's channel: its echo in flight at the mux, and `done`. Ends that
// come without a packet (a failed send, a mux that is gone) are posted to
// the event loop, so that `done` never runs inside start().
class EchoMuxChannel final : public QObject, public IAsyncEcho {
public:
    explicit EchoMuxChannel(EchoMux* mux) : m_mux(mux) {}
    ~EchoMuxChannel() override { cancel(); }

    void start(const EchoRequest& request, Done done) override {
        cancel();
        m_done = std::move(done);
        EchoResult failed;
        std::uint16_t seq = 0;
        if (!m_mux) {
            icmpsocket::fillSendError(EBADF, failed);
        } else if (m_mux->send(this, request, seq, failed)) {
            m_seq = seq;
            return;
        }
        finishLater(failed);
    }

    void cancel() override {
        ++m_generation; // voids an end already posted
        if (m_seq && m_mux)
            m_mux->forget(this, *m_seq);
        m_seq.reset();
        m_done = nullptr;
    }

    void finish(const EchoResult& result) {
        m_seq.reset();
        ++m_generation;
        const Done done = std::move(m_done);
        m_done = nullptr;
        // Last: `done` may start the next echo or destroy this channel.
        if (done)
            done(result);
    }

    void finishLater(const EchoResult& result) {
        m_seq.reset();
        QTimer::singleShot(0, this, [this, generation = m_generation, result] {
            if (generation == m_generation)
                finish(result);
        });
    }

private:
    QPointer<EchoMux> m_mux;
    Done m_done;
    std::optional<std::uint16_t> m_seq;
    std::uint64_t m_generation = 0;
};

std::unique_ptr<EchoMux> EchoMux::open(SocketKind kind, int* error) {
    const icmpsocket::Opened opened = icmpsocket::open(kind, error);
    return opened.fd < 0 ? nullptr : std::unique_ptr<EchoMux>(new EchoMux(opened));
}

EchoMux::EchoMux(const icmpsocket::Opened& opened)
    : m_fd(opened.fd), m_kind(opened.kind), m_id(opened.id),
      m_notifier(std::make_unique<QSocketNotifier>(opened.fd, QSocketNotifier::Read)),
      m_buffer(icmpwire::kMaxIpHeaderSize + icmpwire::kIcmpHeaderSize + icmpwire::kMaxPayload + 1) {
    (void)fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    // Beyond the system's limit where we may, else up to it.
    if (setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof kReceiveBufferBytes) != 0)
        (void)setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    // A queued ICMP error makes poll() report POLLERR, which wakes the read
    // notifier as well.
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &EchoMux::readable);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &EchoMux::timerFired);
}

EchoMux::~EchoMux() {
    m_notifier.reset();
    ::close(m_fd);
    // The echoes still out can no longer end: they fail, from the event loop.
    EchoResult failed;
    icmpsocket::fillSendError(EBADF, failed);
    for (auto& [seq, pending] : m_pending)
        pending.channel->finishLater(failed);
}

std::unique_ptr<IAsyncEcho> EchoMux::channel() {
    return std::make_unique<EchoMuxChannel>(this);
}

bool EchoMux::send(EchoMuxChannel* channel, const EchoRequest& request, std::uint16_t& seq, EchoResult& result) {
    // The next number not in flight; with every one out, none is left.
    bool found = false;
    for (int i = 0; i < 65536 && !found; ++i)
        found = !m_pending.contains(++m_seq);
    if (!found) {
        icmpsocket::fillSendError(ENOBUFS, result);
        return false;
    }
    seq = m_seq;

    const int dontFragment = request.flags & 2;
    if (request.ttl != m_ttl || dontFragment != m_dontFragment) {
        icmpsocket::configure(m_fd, request.ttl, request.flags, true);
        m_ttl = request.ttl;
        m_dontFragment = dontFragment;
    }
    const std::vector<std::uint8_t> packet = icmpwire::buildEchoRequest(m_id, seq, request.data);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = request.target;
    const auto sendOnce = [&] {
        const auto* address = reinterpret_cast<const sockaddr*>(&to);
        return sendto(m_fd, packet.data(), packet.size(), MSG_DONTWAIT, address, sizeof to) >= 0;
    };
    const icmpsocket::SendTime sent = icmpsocket::SendTime::now();
    // An ICMP error about an earlier echo leaves its errno on the socket
    // until something reads it, and the next send fails with it instead of
    // sending (the error itself stays queued for the read side). That send
    // cleared it: only a second failure is this request's own.
    if (!sendOnce() && !sendOnce()) {
        icmpsocket::fillSendError(errno, result);
        return false;
    }

    Pending& pending = m_pending[seq];
    pending.channel = channel;
    pending.target = request.target;
    pending.data.assign(request.data.begin(), request.data.end());
    pending.sent = sent;
    pending.deadline = m_deadlines.emplace(sent.monotonic + std::chrono::milliseconds(request.timeoutMs), seq);
    const bool earliest = pending.deadline == m_deadlines.begin();
    bool answered = false;
    if (++m_sendsSinceCollect == kSendsPerCollect) {
        m_sendsSinceCollect = 0;
        answered = collect();
    }
    if (earliest || answered)
        arm();
    return true;
}

void EchoMux::forget(EchoMuxChannel* channel, std::uint16_t seq) {
    // The timer may now fire early; it finds nothing due and waits again.
    const auto it = m_pending.find(seq);
    if (it == m_pending.end() || it->second.channel != channel)
        return;
    m_deadlines.erase(it->second.deadline);
    m_pending.erase(it);
}

bool EchoMux::complete(std::uint16_t seq, const EchoResult& result) {
    const auto it = m_pending.find(seq);
    if (it == m_pending.end())
        return true;
    EchoMuxChannel* channel = it->second.channel;
    m_deadlines.erase(it->second.deadline);
    m_pending.erase(it);
    const QPointer<EchoMux> alive(this);
    channel->finish(result);
    return !alive.isNull();
}

void EchoMux::readable() {
    collect();
    // Echoes that `done` starts may already have their answers.
    if (deliver() && !m_answered.empty())
        arm();
}

void EchoMux::timerFired() {
    // What arrived by the deadline still counts.
    collect();
    if (!deliver())
        return;
    EchoResult timedOut;
    icmpsocket::fillTimeout(timedOut);
    // Echoes that `done` starts meanwhile end later than now.
    const Clock::time_point now = Clock::now();
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        // Answers read while `done` ran still win.
        const std::uint16_t seq = m_deadlines.begin()->second;
        if (!complete(seq, m_pending[seq].answer.value_or(timedOut)))
            return;
    }
    arm();
}

void EchoMux::arm() {
    if (!m_answered.empty()) {
        m_timer.start(0);
        return;
    }
    if (m_deadlines.empty()) {
        m_timer.stop();
        return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadlines.begin()->first - Clock::now()).count();
    m_timer.start(static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX)));
}

bool EchoMux::collect() {
    readQueuedErrors();
    readDatagrams();
    return !m_answered.empty();
}

void EchoMux::answer(std::uint16_t seq, Pending& pending, const EchoResult& result) {
    pending.answer = result;
    m_answered.push_back(seq);
}

bool EchoMux::deliver() {
    std::vector<std::uint16_t> answered;
    answered.swap(m_answered);
    for (const std::uint16_t seq : answered) {
        // A cancelled echo's number may have gone to a new one since.
        const auto it = m_pending.find(seq);
        if (it == m_pending.end() || !it->second.answer)
            continue;
        const EchoResult result = *it->second.answer;
        if (!complete(seq, result))
            return false;
    }
    return true;
}

void EchoMux::readQueuedErrors() {
    // Only a ping socket queues ICMP errors; a raw socket reads them as packets.
    if (m_kind != Kind::Ping)
        return;
    for (int i = 0; i < kReadBatch; ++i) {
        icmpsocket::QueuedError error;
        const icmpsocket::QueueRead read = icmpsocket::readQueuedError(m_fd, m_buffer, error);
        if (read == icmpsocket::QueueRead::Empty)
            break;
        const std::optional<std::uint16_t> seq =
            read == icmpsocket::QueueRead::Icmp ? sequenceOf(Kind::Ping, error.quoted) : std::nullopt;
        const auto it = seq ? m_pending.find(*seq) : m_pending.end();
        if (it == m_pending.end() || it->second.answer)
            continue;
        Pending& pending = it->second;
        const Outcome outcome = icmpsocket::parse(error, Expectation{pending.target, m_id, *seq, pending.data});
        if (outcome.verdict != Verdict::IcmpError)
            continue;
        EchoResult result;
        icmpsocket::fillError(outcome, icmpsocket::roundTripNanos(pending.sent, {}), result);
        answer(*seq, pending, result);
    }
}

void EchoMux::readDatagrams() {
    for (int i = 0; i < kReadBatch; ++i) {
        icmpsocket::Received packet;
        if (!icmpsocket::receive(m_fd, m_buffer, packet)) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            continue; // an error noted on the socket, cleared by this read
        }
        const std::optional<std::uint16_t> seq = packet.truncated ? std::nullopt : sequenceOf(m_kind, packet.bytes);
        const auto it = seq ? m_pending.find(*seq) : m_pending.end();
        if (it == m_pending.end() || it->second.answer)
            continue;
        Pending& pending = it->second;
        const Outcome outcome =
            icmpsocket::parse(m_kind, packet, Expectation{pending.target, m_id, *seq, pending.data});
        if (outcome.verdict == Verdict::Ignore)
            continue;
        EchoResult result;
        const std::int64_t nanos = icmpsocket::roundTripNanos(pending.sent, packet);
        if (outcome.verdict == Verdict::IcmpError)
            icmpsocket::fillError(outcome, nanos, result);
        else
            icmpsocket::fillReply(outcome, packet, m_kind, nanos, result);
        answer(*seq, pending, result);
    }
}
