#include "DocumentCompletion.h"

std::optional<DocumentCompletion::Arrival>
DocumentCompletion::loadEnded(std::string_view documentId) {
    ++m_arrived;
    if (!documentId.empty() && documentId == m_reported) {
        return std::nullopt;
    }
    return m_arrived;
}

DocumentCompletion::Step DocumentCompletion::claimAnswered(Arrival arrival, Answer answer) const {
    if (!isCurrent(arrival)) {
        return Step::Nothing; // a newer document completes for itself
    }
    switch (answer) {
    case Answer::OtherDocument:
    case Answer::Claimed:
        return Step::Nothing;
    case Answer::Pending:
        return Step::AskAgain;
    case Answer::Read:
        return Step::Complete;
    case Answer::Unread:
    case Answer::Failed:
        return Step::CompleteByReading;
    }
    return Step::Nothing;
}
