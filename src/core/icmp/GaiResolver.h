#pragma once

#include "HostResolver.h"

// The system resolver (getaddrinfo, IPv4 only), with its failures mapped to
// the sockets error codes the rest of the program reports.
class GaiResolver : public IHostResolver {
public:
    LookupAnswer lookup(const QByteArray& name) override;
};
