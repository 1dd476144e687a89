#include "NetworkFailure.h"

#include <algorithm>
#include <array>

namespace NetworkFailure {

bool IsOutage(int errorCode) {
    // Chromium's net/base/net_error_list.h, the codes of an unreachable back end.
    static constexpr std::array kOutages = {
        -7,   // TIMED_OUT
        -15,  // SOCKET_NOT_CONNECTED
        -21,  // NETWORK_CHANGED
        -100, // CONNECTION_CLOSED
        -101, // CONNECTION_RESET
        -102, // CONNECTION_REFUSED
        -103, // CONNECTION_ABORTED
        -104, // CONNECTION_FAILED
        -105, // NAME_NOT_RESOLVED
        -106, // INTERNET_DISCONNECTED
        -109, // ADDRESS_UNREACHABLE
        -118, // CONNECTION_TIMED_OUT
        -130, // PROXY_CONNECTION_FAILED
        -137, // NAME_RESOLUTION_FAILED
        -324, // EMPTY_RESPONSE
        -802, // DNS_SERVER_FAILED
        -803, // DNS_TIMED_OUT
    };
    return std::find(kOutages.begin(), kOutages.end(), errorCode) != kOutages.end();
}

std::string ErrorName(std::string_view errorText) {
    if (errorText.starts_with("net::")) {
        errorText.remove_prefix(5);
    }
    return std::string(errorText);
}

RetrySchedule::Duration RetrySchedule::next() {
    const Duration wait = m_next;
    m_next = std::min(m_next * 2, kLongest);
    return wait;
}

} // namespace NetworkFailure
