#include "Options.h"

#include "Text.h"

#include <optional>
#include <string_view>

namespace responder {

namespace {

// Splits "--name=value" into name and value; plain "--name" has no value.
struct Argument {
    std::string_view name;
    std::optional<std::string_view> value;
};

Argument splitArgument(std::string_view arg) {
    if (arg.starts_with("--")) {
        const auto eq = arg.find('=');
        if (eq != std::string_view::npos)
            return {arg.substr(0, eq), arg.substr(eq + 1)};
    }
    return {arg, std::nullopt};
}

CommandLine failure(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::Fail;
    result.error = std::move(message);
    return result;
}

} // namespace

CommandLine parseCommandLine(std::span<const char* const> args) {
    CommandLine result;
    Config& config = result.config;
    bool haveDefault = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const Argument arg = splitArgument(args[i]);
        const std::string name(arg.name);

        if (name == "--help" || name == "-h") {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (name == "--verbose" || name == "-v") {
            if (arg.value)
                return failure(name + " takes no value");
            config.verbose = true;
            continue;
        }
        if (name != "--delay" && name != "--ttl" && name != "--rule" && name != "--default")
            return failure("unknown argument '" + std::string(args[i]) + "'");

        std::string_view value;
        if (arg.value) {
            value = *arg.value;
        } else {
            if (i + 1 >= args.size())
                return failure(name + " needs a value");
            value = args[++i];
        }

        if (name == "--delay") {
            const auto ms = parseNumber(value, kMaxDelayMs);
            if (!ms)
                return failure("--delay: expected milliseconds (0..86400000), got '" + std::string(value) + "'");
            config.delayMs = *ms;
        } else if (name == "--ttl") {
            const auto ttl = parseNumber(value, 255);
            if (!ttl || *ttl == 0)
                return failure("--ttl: expected 1..255, got '" + std::string(value) + "'");
            config.ttl = static_cast<std::uint8_t>(*ttl);
        } else if (name == "--default") {
            if (haveDefault)
                return failure("--default given twice");
            std::string error;
            const auto rule = parseRule(value, error);
            if (!rule)
                return failure("--default " + std::string(value) + ": " + error);
            config.defaultRule = *rule;
            haveDefault = true;
        } else { // --rule
            const auto eq = value.find('=');
            if (eq == std::string_view::npos)
                return failure("--rule: expected ADDR=OPTIONS, got '" + std::string(value) + "'");
            const auto address = parseAddress(value.substr(0, eq));
            if (!address)
                return failure("--rule: '" + std::string(value.substr(0, eq)) + "' is not an IPv4 or IPv6 address");
            std::string error;
            const auto rule = parseRule(value.substr(eq + 1), error);
            if (!rule)
                return failure("--rule " + std::string(value) + ": " + error);
            if (rule->mode == Mode::Spoof && rule->spoofSource.family != address->family)
                return failure("--rule " + std::string(value) + ": the spoofed source is of the other address family");
            if (!config.rules.emplace(*address, *rule).second)
                return failure("--rule: address " + formatAddress(*address) + " has two rules");
        }
    }
    result.action = CommandLine::Action::Run;
    return result;
}

std::string usage(const std::string& program) {
    return "Usage: " + program +
           " [--verbose] [--delay MS] [--ttl N] [--rule ADDR=OPTIONS ...] [--default OPTIONS]\n"
           "\n"
           "Answers ICMP echo requests to the local IPv4 addresses and ICMPv6 echo requests to the\n"
           "local IPv6 addresses, each address by its rule. Run it as root in a network namespace with\n"
           "net.ipv4.icmp_echo_ignore_all=1 and net.ipv6.icmp.echo_ignore_all=1.\n"
           "Prints 'ready' on stdout once its sockets are open.\n"
           "\n"
           "  --delay MS            delay of every answer unless a rule says otherwise (default 0)\n"
           "  --ttl N               TTL or hop limit of answers unless a rule says otherwise (default 64)\n"
           "  --rule ADDR=OPTIONS   how to answer requests to ADDR\n"
           "  --default OPTIONS     how to answer requests to addresses without a rule (default: normal)\n"
           "  --verbose, -v         one line per request on stderr\n"
           "  --help, -h            this text\n"
           "\n"
           "OPTIONS is a comma-separated list of:\n"
           "  normal                correct echo reply\n"
           "  delay=MS              delay of this address's answers\n"
           "  ttl=N                 TTL or hop limit of this address's answers\n"
           "  loss=PATTERN          '.' answers, 'x' drops, applied cyclically to the requests received\n"
           "  dup=MS                also send a copy of each answer MS milliseconds after it\n"
           "and at most one of:\n"
           "  stale                 send the reply to the previous request instead (nothing for the first)\n"
           "  wrongseq              reply with sequence number + 1\n"
           "  wrongid               reply with identifier + 1\n"
           "  spoof=ADDR2           reply from source ADDR2, a local address of the same family\n"
           "  badsum                reply with a wrong checksum\n"
           "  truncate=N            reply with only the first N data bytes\n"
           "  baddata               reply with the first data byte changed (one byte added if none)\n"
           "  error=TYPE/CODE       send this error quoting the request instead of a reply; ICMPv6\n"
           "                        type and code for an IPv6 address, ICMP ones for IPv4\n"
           "  error-wrongseq=TYPE/CODE  the same, the quoted sequence number + 1\n"
           "  error-wrongid=TYPE/CODE   the same, the quoted identifier + 1\n"
           "  error-truncate=TYPE/CODE  the same, quoting only the request's IP header\n"
           "\n"
           "Exit status: 0 after SIGTERM or SIGINT, 2 for bad arguments or when the sockets cannot be opened.\n";
}

} // namespace responder
