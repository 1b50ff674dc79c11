// linkvigil-responder: answers ICMP and ICMPv6 echo requests inside a test network
// namespace, correctly or in one of many broken ways, per destination address.

#include "Forge.h"
#include "Options.h"
#include "Responder.h"
#include "Sockets.h"
#include "Sockets6.h"
#include "TimerQueue.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

using responder::TimerQueue;
using Clock = TimerQueue::Clock;

// Requests read per wakeup before due answers get their turn.
constexpr int kReceiveBatch = 64;

int signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool installSignalHandlers(std::string& error) {
    if (pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGTERM, &sa, nullptr) != 0 || sigaction(SIGINT, &sa, nullptr) != 0) {
        error = std::string("sigaction: ") + std::strerror(errno);
        return false;
    }
    // A harness that stops reading our stdout must not kill us.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

// Milliseconds until `due`, rounded up so poll never wakes before it.
int pollTimeout(std::optional<Clock::time_point> due) {
    if (!due)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

std::string describeRequest(const responder::EchoRequest& request) {
    return responder::formatAddress(request.source) + " > " + responder::formatAddress(request.destination) + " id " +
           std::to_string(request.id) + " seq " + std::to_string(request.seq) + " data " +
           std::to_string(request.icmp.size() - 8);
}

// Works the same on the IPv4 and the IPv6 sockets.
template <typename Sockets>
void receiveRequests(Sockets& sockets, responder::Responder& responder, TimerQueue& queue,
                     std::vector<std::uint8_t>& buffer, bool verbose) {
    using responder::Received;
    for (int i = 0; i < kReceiveBatch; ++i) {
        std::size_t size = 0;
        std::string why;
        const auto received = sockets.receive(buffer, size, why);
        if (received == Received::Nothing)
            return;
        if (received == Received::Failed) {
            std::cerr << "linkvigil-responder: " << why << '\n';
            return;
        }
        if (received == Received::Skipped) {
            if (verbose)
                std::cerr << "ignored: " << why << '\n';
            continue;
        }
        const auto arrived = Clock::now();
        responder::EchoRequest request;
        const auto check = responder::parseEchoRequest({buffer.data(), size}, request);
        if (check != responder::RequestCheck::Ok) {
            if (verbose)
                std::cerr << "ignored: " << responder::describe(check) << '\n';
            continue;
        }
        std::string note;
        for (auto& answer : responder.handle(request, note)) {
            queue.add(arrived + std::chrono::milliseconds(answer.delayMs),
                      {answer.destination, std::move(answer.datagram)});
        }
        if (verbose)
            std::cerr << describeRequest(request) << ": " << note << '\n';
    }
}

void sendDue(responder::RawSockets& sockets, responder::RawSockets6& sockets6, TimerQueue& queue) {
    for (const auto& entry : queue.takeDue(Clock::now())) {
        std::string error;
        const bool sent = entry.destination.isV6() ? sockets6.send(entry.destination, entry.datagram, error)
                                                   : sockets.send(entry.destination.v4(), entry.datagram, error);
        if (!sent)
            std::cerr << "linkvigil-responder: answer to " << responder::formatAddress(entry.destination) << ": "
                      << error << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string program = "linkvigil-responder";
    // First of all, so that a harness stopping us early still gets a clean exit.
    std::string error;
    if (!installSignalHandlers(error)) {
        std::cerr << program << ": " << error << '\n';
        return 2;
    }
    const auto commandLine = responder::parseCommandLine({argv + std::min(argc, 1), argv + argc});
    switch (commandLine.action) {
    case responder::CommandLine::Action::Help:
        std::cout << responder::usage(program);
        return 0;
    case responder::CommandLine::Action::Fail:
        std::cerr << program << ": " << commandLine.error << "\n" << program << ": see --help for the usage\n";
        return 2;
    case responder::CommandLine::Action::Run:
        break;
    }
    const bool verbose = commandLine.config.verbose;

    responder::RawSockets sockets;
    if (!sockets.open(error)) {
        std::cerr << program << ": " << error << '\n';
        return 2;
    }
    // Without IPv6 in the kernel, IPv4 still gets its answers.
    responder::RawSockets6 sockets6;
    if (!sockets6.open(error)) {
        std::cerr << program << ": " << error << '\n';
        if (!sockets6.noIpv6())
            return 2;
        std::cerr << program << ": answering IPv4 only\n";
    }
    responder::Responder responder(commandLine.config);
    TimerQueue queue;
    std::vector<std::uint8_t> buffer(responder::kReceiveBufferSize);

    std::cout << "ready" << std::endl;

    for (;;) {
        // poll skips the IPv6 entry when its descriptor is -1.
        pollfd fds[3] = {{sockets.receiveDescriptor(), POLLIN, 0},
                         {sockets6.receiveDescriptor(), POLLIN, 0},
                         {signalPipe[0], POLLIN, 0}};
        const int n = poll(fds, 3, pollTimeout(queue.nextDue()));
        if (n < 0 && errno != EINTR) {
            std::cerr << program << ": poll: " << std::strerror(errno) << '\n';
            return 1;
        }
        if (n > 0 && (fds[2].revents & POLLIN))
            break;
        if (n > 0 && (fds[0].revents & POLLIN))
            receiveRequests(sockets, responder, queue, buffer, verbose);
        if (n > 0 && (fds[1].revents & POLLIN))
            receiveRequests(sockets6, responder, queue, buffer, verbose);
        sendDue(sockets, sockets6, queue);
    }
    if (verbose)
        std::cerr << "terminated\n";
    return 0;
}
