// Failed loads as the network caused them, without windows: which of the
// engine's errors mean the network or the back end could not be reached (and
// may pass by themselves), and when to try the start page again.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace NetworkFailure {

// Whether the engine's network error code (Chromium's net::Error, negative)
// says the back end could not be reached for now: no address, no route, no
// connection, a connection cut or answered with nothing, the network changed.
// Not: certificate and TLS faults, proxy sign-in, requests the page policy
// blocked, aborted navigations, malformed answers: trying again would not
// help, or would repeat a refusal.
bool IsOutage(int errorCode);

// The engine's name of an error code ("ERR_CONNECTION_REFUSED") from its
// error text, which may carry a "net::" prefix; the text as it is when it
// names no error.
std::string ErrorName(std::string_view errorText);

// When to try the start page again while the network is out: 5 s after the
// first failure, then twice as long each time, at most a minute.
class RetrySchedule {
public:
    using Duration = std::chrono::milliseconds;
    static constexpr Duration kFirst{5000};
    static constexpr Duration kLongest{60000};

    // The wait before the next try; each call doubles the one after it.
    Duration next();
    // The network answered: the next outage starts at the first wait.
    void reset() { m_next = kFirst; }

private:
    Duration m_next = kFirst;
};

} // namespace NetworkFailure
