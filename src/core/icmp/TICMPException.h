#pragma once

#include "../Exception.h"

// Raised when the echo requester cannot be set up.
class TICMPException : public Exception {
public:
    using Exception::Exception;
};
