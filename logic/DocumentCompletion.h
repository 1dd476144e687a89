// When a top-level document has completed, decided once for each document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A document completes by the report its own script sends just after its
// load event (with what it read of the document), or, when that report does
// not come (a page whose load event never fires, or one the script was not
// put into), by the browser's claim when the main frame's load ends. Each
// arrival completes at most once: a newer document, or the end of the render
// process, leaves every claim still outstanding without effect.
class DocumentCompletion {
public:
    // Counts the documents that arrived (loaded, reported, or gone with their
    // process): a claim is good only for the arrival it was made for.
    using Arrival = std::uint64_t;

    // The load report of the document documentId came: true when it
    // completes now, with what it read; false when the claim at its load end
    // completed it already (the report comes from the page's own world, which
    // the claim cannot ask whether it has been sent).
    bool reported(std::string_view documentId) {
        if (!documentId.empty() && documentId == m_claimed) {
            return false;
        }
        ++m_arrived;
        m_reported = documentId;
        return true;
    }
    // The claim at the load end of the document documentId completes it.
    void claimCompleted(std::string_view documentId) { m_claimed = documentId; }
    // The render process ended: the document went with it.
    void rendererEnded() { ++m_arrived; }
    // The main frame's load ended well for the document documentId (as it
    // said it was created; empty when unknown): the arrival to claim, or
    // none when that document's report completed it already, so that it
    // need not be asked.
    std::optional<Arrival> loadEnded(std::string_view documentId);
    // Whether nothing arrived since arrival.
    bool isCurrent(Arrival arrival) const { return arrival == m_arrived; }

    // What the document said to the claim made at its load end.
    enum class Answer {
        OtherDocument, // a newer document answered: it completes for itself
        Claimed,       // its load report completed it already
        Pending,       // its load event was just dispatched: its report is due
        Read,          // claimed here, with what was read of it
        Unread,        // no script of the program in it (or no document)
        Failed,        // the claim could not be asked
    };
    // What the browser does next.
    enum class Step {
        Nothing,          // the document completed, or completes, otherwise
        AskAgain,         // asks again shortly (its report may still claim it)
        Complete,         // completes it with what was read
        CompleteByReading // reads the document itself, then completes it
    };
    Step claimAnswered(Arrival arrival, Answer answer) const;

private:
    Arrival m_arrived = 0;
    std::string m_reported; // the document that reported last
    std::string m_claimed;  // the document a claim completed last
};
