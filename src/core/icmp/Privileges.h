#pragma once

// Capability handling for the raw ICMP socket: CAP_NET_RAW is raised into
// the effective set only around socket(); a program that has its sockets can
// then give up every capability (and a set-user-ID identity) for good.
namespace privileges {

// Makes CAP_NET_RAW effective if it is permitted. Returns whether it was raised.
bool raiseNetRaw();
// Clears the effective set, keeping what is permitted.
bool lowerEffective();
// Clears the effective, permitted and inheritable sets and returns to the
// real user and group when running set-user-ID. Returns false if any step failed.
bool dropAll();

} // namespace privileges
