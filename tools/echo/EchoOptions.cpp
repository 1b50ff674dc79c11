#include "EchoOptions.h"

#include "text/IntText.h"

const char kEchoUsage[] = "usage: linkvigil-echo [--size N] [--ttl N] [--flags N] [--timeout MS] [--count N]\n"
                          "                      [--interval MS] [--socket auto|ping|raw] [--prefer-ipv6] HOST\n"
                          "       linkvigil-echo --trace [--count N] [--interval MS] [--timeout MS]\n"
                          "                      [--socket auto|ping|raw] HOST\n"
                          "HOST is a name, a dotted IPv4 address or an IPv6 address. --trace sends N rounds\n"
                          "(default 10) of echoes with hop limits 1 to 30, one round per interval, and prints\n"
                          "one line per hop.\n";

std::optional<EchoOptions> parseEchoOptions(const QStringList& arguments, QString* error) {
    EchoOptions options;
    bool countGiven = false;
    const struct {
        const char* name;
        std::int32_t* value;
    } numbers[] = {{"--size", &options.size},       {"--ttl", &options.ttl},     {"--flags", &options.flags},
                   {"--timeout", &options.timeout}, {"--count", &options.count}, {"--interval", &options.interval}};

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            if (!options.host.isEmpty()) {
                *error = QStringLiteral("only one HOST may be given");
                return std::nullopt;
            }
            options.host = arg;
            continue;
        }
        if (arg == QLatin1String("--prefer-ipv6")) {
            options.preferIPv6 = true;
            continue;
        }
        if (arg == QLatin1String("--trace")) {
            options.trace = true;
            continue;
        }
        countGiven = countGiven || arg == QLatin1String("--count");
        if (i + 1 >= arguments.size()) {
            *error = arg + QStringLiteral(" needs a value");
            return std::nullopt;
        }
        const QString& value = arguments[++i];
        bool known = false;
        for (const auto& number : numbers) {
            if (arg == QLatin1String(number.name)) {
                const auto parsed = inttext::parse(value);
                if (!parsed) {
                    *error = QStringLiteral("'%1' is not a valid integer value for %2").arg(value, arg);
                    return std::nullopt;
                }
                *number.value = *parsed;
                known = true;
            }
        }
        if (arg == QLatin1String("--socket")) {
            known = true;
            if (value == QLatin1String("auto"))
                options.socket = SocketKind::Auto;
            else if (value == QLatin1String("ping"))
                options.socket = SocketKind::Ping;
            else if (value == QLatin1String("raw"))
                options.socket = SocketKind::Raw;
            else
                known = false;
        }
        if (!known) {
            *error = QStringLiteral("unknown option %1 %2").arg(arg, value);
            return std::nullopt;
        }
    }
    if (options.host.isEmpty()) {
        *error = QStringLiteral("HOST is missing");
        return std::nullopt;
    }
    if (options.trace && !countGiven)
        options.count = 10;
    if (options.count < 1 || options.interval < 0) {
        *error = QStringLiteral("--count must be at least 1 and --interval at least 0");
        return std::nullopt;
    }
    return options;
}
