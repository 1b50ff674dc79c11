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

using icmpsocket::Expectation;
using icmpsocket::Outcome;
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

} // namespace

// One host's channel: its echo in flight at the mux, and `done`. Ends that
// come without a packet (a failed send, a mux that is gone) are posted to
// the event loop, so that `done` never runs inside start(); only for them
// does a channel get an object of its own, whose end voids what is posted.
class EchoMuxChannel final : public IAsyncEcho {
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
        if (!m_context)
            m_context = std::make_unique<QObject>();
        QTimer::singleShot(0, m_context.get(), [this, generation = m_generation, result] {
            if (generation == m_generation)
                finish(result);
        });
    }

private:
    QPointer<EchoMux> m_mux;
    std::unique_ptr<QObject> m_context;
    Done m_done;
    std::optional<std::uint16_t> m_seq;
    std::uint64_t m_generation = 0;
};

std::unique_ptr<EchoMux> EchoMux::open(SocketKind kind, int* error) {
    int error4 = 0;
    int error6 = 0;
    const icmpsocket::Opened v4 = icmpsocket::open(kind, IpAddress::Family::V4, &error4);
    const icmpsocket::Opened v6 = icmpsocket::open(kind, IpAddress::Family::V6, &error6);
    if (v4.fd < 0 && v6.fd < 0) {
        if (error)
            *error = error4;
        return nullptr;
    }
    return std::unique_ptr<EchoMux>(new EchoMux(v4, v6));
}

EchoMux::EchoMux(const icmpsocket::Opened& v4, const icmpsocket::Opened& v6)
    : m_buffer(icmpwire::kMaxIpHeaderSize + icmpwire::kIcmpHeaderSize + icmpwire::kMaxPayload + 1) {
    m_v4.opened = v4;
    m_v6.opened = v6;
    watch(m_v4);
    watch(m_v6);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &EchoMux::timerFired);
}

void EchoMux::watch(Socket& socket) {
    const int fd = socket.opened.fd;
    if (fd < 0)
        return;
    (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Beyond the system's limit where we may, else up to it.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof kReceiveBufferBytes) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    // A queued ICMP error makes poll() report POLLERR, which wakes the read
    // notifier as well.
    socket.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(socket.notifier.get(), &QSocketNotifier::activated, this, &EchoMux::readable);
}

EchoMux::~EchoMux() {
    for (Socket* socket : {&m_v4, &m_v6}) {
        socket->notifier.reset();
        if (socket->opened.fd >= 0)
            ::close(socket->opened.fd);
    }
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

    Socket& socket = request.target.isV6() ? m_v6 : m_v4;
    if (socket.opened.fd < 0 || !request.target.valid()) {
        icmpsocket::fillNoSocket(result);
        return false;
    }
    const int dontFragment = request.flags & 2;
    if (request.ttl != socket.ttl || dontFragment != socket.dontFragment) {
        icmpsocket::configure(socket.opened, request.ttl, request.flags, true);
        socket.ttl = request.ttl;
        socket.dontFragment = dontFragment;
    }
    const std::vector<std::uint8_t> packet = icmpsocket::buildRequest(socket.opened, seq, request.data);
    const auto sendOnce = [&] { return icmpsocket::sendTo(socket.opened.fd, packet, request.target); };
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
    for (const Socket* socket : {&m_v4, &m_v6}) {
        if (socket->opened.fd < 0)
            continue;
        readQueuedErrors(*socket);
        readDatagrams(*socket);
    }
    return !m_answered.empty();
}

EchoMux::Pending* EchoMux::awaiting(const Socket& socket, std::optional<std::uint16_t> seq) {
    const auto it = seq ? m_pending.find(*seq) : m_pending.end();
    if (it == m_pending.end() || it->second.answer)
        return nullptr;
    // Sequence numbers are shared: the other family's echo is not this socket's.
    if (it->second.target.family != socket.opened.family)
        return nullptr;
    return &it->second;
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

void EchoMux::readQueuedErrors(const Socket& socket) {
    // Only a ping socket queues ICMP errors; a raw socket reads them as packets.
    if (socket.opened.kind != Kind::Ping)
        return;
    for (int i = 0; i < kReadBatch; ++i) {
        icmpsocket::QueuedError error;
        const icmpsocket::QueueRead read = icmpsocket::readQueuedError(socket.opened.fd, m_buffer, error);
        if (read == icmpsocket::QueueRead::Empty)
            break;
        const std::optional<std::uint16_t> seq =
            read == icmpsocket::QueueRead::Icmp ? icmpsocket::sequenceOf(Kind::Ping, socket.opened.family, error.quoted)
                                                : std::nullopt;
        Pending* pending = awaiting(socket, seq);
        if (!pending)
            continue;
        const Outcome outcome =
            icmpsocket::parse(error, Expectation{pending->target, socket.opened.id, *seq, pending->data});
        if (outcome.verdict != Verdict::IcmpError)
            continue;
        EchoResult result;
        icmpsocket::fillError(outcome, icmpsocket::roundTripNanos(pending->sent, {}), result);
        answer(*seq, *pending, result);
    }
}

void EchoMux::readDatagrams(const Socket& socket) {
    const Kind kind = socket.opened.kind;
    for (int i = 0; i < kReadBatch; ++i) {
        icmpsocket::Received packet;
        if (!icmpsocket::receive(socket.opened.fd, m_buffer, packet)) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            continue; // an error noted on the socket, cleared by this read
        }
        const std::optional<std::uint16_t> seq =
            packet.truncated ? std::nullopt : icmpsocket::sequenceOf(kind, socket.opened.family, packet.bytes);
        Pending* pending = awaiting(socket, seq);
        if (!pending)
            continue;
        const Outcome outcome =
            icmpsocket::parse(kind, packet, Expectation{pending->target, socket.opened.id, *seq, pending->data});
        if (outcome.verdict == Verdict::Ignore)
            continue;
        EchoResult result;
        const std::int64_t nanos = icmpsocket::roundTripNanos(pending->sent, packet);
        if (outcome.verdict == Verdict::IcmpError)
            icmpsocket::fillError(outcome, nanos, result);
        else
            icmpsocket::fillReply(outcome, nanos, result);
        answer(*seq, *pending, result);
    }
}
