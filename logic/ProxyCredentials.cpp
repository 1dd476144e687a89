#include "ProxyCredentials.h"

#include "Ascii.h"

namespace ProxyCredentials {

namespace {

std::string PercentDecoded(std::string_view text) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The variable's value, in the engine's order: as named, then in capitals;
// found is the name that had it.
const char* Variable(const Environment& environment, const std::string& name, std::string& found) {
    std::string upper = name;
    for (char& c : upper) {
        c = Ascii::Upper(c);
    }
    for (const std::string& candidate : {name, upper}) {
        if (const char* value = environment(candidate.c_str()); value != nullptr && *value) {
            found = candidate;
            return value;
        }
    }
    return nullptr;
}

} // namespace

std::optional<Credentials> For(std::string_view requestScheme, std::string_view proxyHost,
                               const Environment& environment) {
    std::string variable;
    const char* value = Variable(environment, "all_proxy", variable);
    if (value == nullptr) {
        value = Variable(environment,
                         Ascii::EqualsIgnoringCase(requestScheme, "https") ? "https_proxy"
                                                                           : "http_proxy",
                         variable);
    }
    if (value == nullptr) {
        return std::nullopt;
    }
    // [scheme://][user[:password]@]host[:port][/]
    std::string_view address = value;
    if (const std::size_t scheme = address.find("://"); scheme != std::string_view::npos) {
        address.remove_prefix(scheme + 3);
    }
    address = address.substr(0, address.find('/'));
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view userInfo = address.substr(0, at);
    std::string_view host = address.substr(at + 1);
    if (host.starts_with('[')) {
        host = host.substr(1, host.find(']') - 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    if (!Ascii::EqualsIgnoringCase(host, proxyHost)) {
        return std::nullopt;
    }
    const std::size_t colon = userInfo.find(':');
    Credentials credentials{variable, PercentDecoded(userInfo.substr(0, colon)),
                            colon == std::string_view::npos
                                ? std::string()
                                : PercentDecoded(userInfo.substr(colon + 1))};
    if (credentials.user.empty()) {
        return std::nullopt;
    }
    return credentials;
}

} // namespace ProxyCredentials
