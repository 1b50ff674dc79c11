#pragma once

// The command line of linkvigil-responder.

#include "Rule.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace responder {

struct Config {
    std::uint32_t delayMs = 0;
    std::uint8_t ttl = 64;
    bool verbose = false;
    std::map<Address, Rule> rules; // IPv4 and IPv6 addresses alike
    Rule defaultRule;              // for addresses without a rule
};

struct CommandLine {
    enum class Action { Run, Help, Fail };
    Action action = Action::Fail;
    Config config;
    std::string error; // with Action::Fail
};

// `args` without the program name.
CommandLine parseCommandLine(std::span<const char* const> args);

std::string usage(const std::string& program);

} // namespace responder
