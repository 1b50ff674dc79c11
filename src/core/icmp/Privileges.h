#pragma once

// Capability handling for the raw ICMP socket: CAP_NET_RAW is raised into
// the effective set only around socket(); a program that has its sockets can
// then give up every capability (and a set-user-ID identity) for good.
namespace privileges {

// Makes CAP_NET_RAW effective if it is permitted. Returns whether it was raised.
bool raiseNetRaw();
// Clears the effective set, keeping what is permitted. Returns whether it did.
bool lowerEffective();
// Returns to the real user and group when running set-user-ID or
// set-group-ID, then clears the effective, permitted and inheritable sets.
// Returns true only if reading back shows all three sets empty and the
// effective and saved IDs equal to the real ones.
bool dropAll();

} // namespace privileges
