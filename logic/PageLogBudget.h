// How much a page can make Tavlin write.
//
// A page that repeats a refused request in a loop, or floods its console,
// must not fill the disk: each kind of refusal is written once per document
// (later ones of the same document are counted, and the count is written
// when the document is left), and all lines a page causes together are held
// to a rate. A line that the rate holds back is counted and said with the next
// line that is written.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class PageLogBudget {
public:
    using Clock = std::chrono::steady_clock;

    // Lines a page may cause within one minute, all kinds together.
    static constexpr int kLinesPerMinute = 30;

    explicit PageLogBudget(int linesPerMinute = kLinesPerMinute)
        : m_linesPerMinute(linesPerMinute) {}

    // The page caused something of kind. True when it is to be written now:
    // one of the first perDocument of its kind on this document, and within
    // the rate. Otherwise it is counted.
    bool admit(std::string_view kind, Clock::time_point now, int perDocument = 1);

    // The document is left: for each kind counted beyond what was written, a
    // line saying how many more there were, within the rate. Every kind may
    // be written again on the next document.
    std::vector<std::string> leaveDocument(Clock::time_point now);

    // Lines held back by the rate since the last line that was written; reset
    // by taking it, for the next written line to say.
    int takeHeldBack();

private:
    bool withinRate(Clock::time_point now);

    struct Count {
        int written = 0;
        int counted = 0;
    };
    int m_linesPerMinute;
    std::map<std::string, Count, std::less<>> m_document;
    std::vector<Clock::time_point> m_recent; // times of the lines written in the last minute
    int m_heldBack = 0;
};

// text cut to at most maxBytes bytes on a UTF-8 character boundary; a cut text
// ends with "…" and says how long it was. For addresses and page texts that
// go into the log or onto standard error.
std::string LogExcerpt(std::string_view text, std::size_t maxBytes = 160);
