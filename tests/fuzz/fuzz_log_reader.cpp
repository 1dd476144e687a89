// Any log line is classified, and any enciphered body deciphered or refused,
// without a fault; an entry the writer made always reads back.
#include "DailyLog.h"
#include "LogReader.h"
#include "QormdesLib.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const LogReader::ParsedLine parsed = LogReader::Parse(input);
    std::string message;
    if (parsed.kind == LogReader::LineKind::Enciphered) {
        LogReader::Decipher(parsed.body, message);
    }

    std::tm when{};
    when.tm_year = 126;
    when.tm_mday = 1;
    if (input.empty() || input.back() != '\0') {
        const std::string entry = "2026-01-01 00:00:00-----MAIN:" + QormdesLib::EncryptToHex(input);
        const LogReader::ParsedLine back = LogReader::Parse(entry);
        if (!input.empty() && (back.kind != LogReader::LineKind::Enciphered ||
                               !LogReader::Decipher(back.body, message) ||
                               message != input.substr(0, input.find_last_not_of('\0') + 1))) {
            std::abort();
        }
    }
    return 0;
}
