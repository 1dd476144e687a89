#pragma once

#include "EnterpriseIdentity.h"

// Where the enterprise identity comes from. A site whose identity lives
// elsewhere (a hardware key, a service) plugs in its own implementation.
class IdentitySource {
public:
    virtual ~IdentitySource() = default;
    // The six texts; six empty texts when the identity cannot be had.
    virtual EnterpriseIdentity Read() = 0;
};
