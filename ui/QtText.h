// Texts between Qt and the program's code page: the one place where a QString
// becomes an 8-bit text of the code page and back.
#pragma once

#include "CodePage.h"

#include <QString>

#include <string>

namespace QtText {

inline QString FromCodePage(const std::string& codePageText) {
    return QString::fromStdU16String(CodePage::ToUtf16(codePageText));
}

inline std::string ToCodePage(const QString& text) {
    return CodePage::FromUtf16(text.toStdU16String());
}

// Without its leading and trailing characters of code 32 or lower.
inline QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= 32) {
        --end;
    }
    return text.mid(begin, end - begin);
}

} // namespace QtText
