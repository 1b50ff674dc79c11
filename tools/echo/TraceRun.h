#pragma once

#include "EchoOptions.h"

// linkvigil-echo --trace: `count` rounds of the path to the host, then one
// line per hop (and per further address of a hop). Returns the exit
// status: 0 when the host itself answered, 1 when it never did, 2 when
// the trace could not begin.
int runTrace(const EchoOptions& options);
