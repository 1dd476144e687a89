#include "PageLogBudget.h"

#include <algorithm>

bool PageLogBudget::withinRate(Clock::time_point now) {
    const auto minuteAgo = now - std::chrono::minutes(1);
    m_recent.erase(std::remove_if(m_recent.begin(), m_recent.end(),
                                  [minuteAgo](Clock::time_point t) { return t <= minuteAgo; }),
                   m_recent.end());
    if (static_cast<int>(m_recent.size()) >= m_linesPerMinute) {
        ++m_heldBack;
        return false;
    }
    m_recent.push_back(now);
    return true;
}

bool PageLogBudget::admit(std::string_view kind, Clock::time_point now, int perDocument) {
    auto it = m_document.find(kind);
    if (it == m_document.end()) {
        it = m_document.emplace(std::string(kind), Count{}).first;
    }
    Count& count = it->second;
    if (count.written >= perDocument) {
        ++count.counted;
        return false;
    }
    if (!withinRate(now)) {
        ++count.counted;
        return false;
    }
    ++count.written;
    return true;
}

std::vector<std::string> PageLogBudget::leaveDocument(Clock::time_point now) {
    std::vector<std::string> lines;
    for (const auto& [kind, count] : m_document) {
        // A kind the rate held back entirely is in the held-back count already.
        if (count.written > 0 && count.counted > 0 && withinRate(now)) {
            lines.push_back(kind + ": " + std::to_string(count.counted) +
                            " more on that page, not written one by one");
        }
    }
    m_document.clear();
    return lines;
}

int PageLogBudget::takeHeldBack() {
    const int heldBack = m_heldBack;
    m_heldBack = 0;
    return heldBack;
}

std::string LogExcerpt(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t cut = maxBytes;
    // Back to the first byte of a character: never half a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return std::string(text.substr(0, cut)) + "…(" + std::to_string(text.size()) + " bytes)";
}
