#include "TerminalCharset.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

namespace TerminalCharset {
namespace {

// The length of the UTF-8 sequence at text[at], 0 when none starts there;
// *incomplete when text ends inside what could still be one.
std::size_t SequenceLength(std::string_view text, std::size_t at, bool* incomplete) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    *incomplete = false;
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= text.size()) {
            *incomplete = true;
            return 0;
        }
        if ((static_cast<unsigned char>(text[at + k]) >> 6) != 0x2) {
            return 0;
        }
    }
    return length;
}

// Converts one run of whole UTF-8 sequences, '?' for what charset lacks.
void ConvertRun(iconv_t cd, std::string_view run, std::string& out) {
    char buffer[4096];
    char* in = const_cast<char*>(run.data());
    std::size_t inLeft = run.size();
    while (inLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t done = ::iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A character the set cannot hold: one '?', and on after it.
            bool incomplete = false;
            const std::size_t skip =
                SequenceLength(std::string_view(in, inLeft), 0, &incomplete);
            out.push_back('?');
            in += skip == 0 ? 1 : skip;
            inLeft -= skip == 0 ? 1 : skip;
        }
    }
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    ::iconv(cd, nullptr, nullptr, &to, &toLeft);
    out.append(buffer, static_cast<std::size_t>(to - buffer));
}

struct Sink {
    int fd;
    iconv_t cd;
    std::string pending; // the start of a sequence whose end has not come
};

ssize_t WriteConverted(void* cookie, const char* data, std::size_t size) {
    auto* sink = static_cast<Sink*>(cookie);
    sink->pending.append(data, size);
    const std::string_view text = sink->pending;
    std::string out;
    std::size_t runStart = 0;
    std::size_t at = 0;
    const auto flushRun = [&] {
        ConvertRun(sink->cd, text.substr(runStart, at - runStart), out);
    };
    while (at < text.size()) {
        bool incomplete = false;
        const std::size_t length = SequenceLength(text, at, &incomplete);
        if (incomplete) {
            break; // kept for the next write
        }
        if (length == 0) {
            flushRun();
            out.push_back(text[at]); // not UTF-8: as it is
            runStart = ++at;
            continue;
        }
        at += length;
    }
    flushRun();
    sink->pending.erase(0, at);
    for (std::size_t written = 0; written < out.size();) {
        const ssize_t n = ::write(sink->fd, out.data() + written, out.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return -1;
        }
        written += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

int CloseConverted(void* cookie) {
    auto* sink = static_cast<Sink*>(cookie);
    ::iconv_close(sink->cd);
    delete sink;
    return 0;
}

FILE* Converting(FILE* stream, const std::string& charset, bool buffered) {
    const iconv_t cd = ::iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return stream;
    }
    std::fflush(stream);
    auto* sink = new Sink{::fileno(stream), cd, {}};
    cookie_io_functions_t functions{};
    functions.write = WriteConverted;
    functions.close = CloseConverted;
    FILE* converting = ::fopencookie(sink, "w", functions);
    if (converting == nullptr) {
        CloseConverted(sink);
        return stream;
    }
    std::setvbuf(converting, nullptr, buffered ? _IOFBF : _IONBF, 0);
    return converting;
}

// The streams replaced, given back at the program's end once the converting
// ones have written what they hold.
FILE* g_standardOutput = nullptr;
FILE* g_standardError = nullptr;

void RestoreStreams() {
    if (g_standardOutput != nullptr && stdout != g_standardOutput) {
        std::fclose(stdout);
        stdout = g_standardOutput;
    }
    if (g_standardError != nullptr && stderr != g_standardError) {
        std::fclose(stderr);
        stderr = g_standardError;
    }
}

} // namespace

std::string Choose() {
    // The character set only: the system's messages (strerror) stay in
    // English, which every character set holds.
    std::setlocale(LC_CTYPE, "");
    const std::string charset = ::nl_langinfo(CODESET);
    if (charset.empty() || charset == "UTF-8" || charset == "utf8" ||
        charset == "ANSI_X3.4-1968" || charset == "ASCII") {
        return {};
    }
    return charset;
}

std::optional<std::string> ToUtf8(std::string_view text, const std::string& charset) {
    if (charset.empty()) {
        return std::string(text);
    }
    const iconv_t cd = ::iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(text);
    }
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    bool valid = true;
    while (valid && inLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t done = ::iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        valid = done != static_cast<std::size_t>(-1) || errno == E2BIG;
    }
    ::iconv_close(cd);
    if (!valid) {
        return std::nullopt;
    }
    return out;
}

void ConvertOutput(const std::string& charset) {
    if (charset.empty()) {
        return;
    }
    g_standardOutput = stdout;
    g_standardError = stderr;
    stdout = Converting(stdout, charset, true);
    stderr = Converting(stderr, charset, false);
    std::atexit(RestoreStreams);
}

} // namespace TerminalCharset
