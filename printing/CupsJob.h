// A document sent to a printer of the PC's print system, without windows and
// without Qt: the printer is one CUPS knows (CUPS_SERVER names the server, as
// for every CUPS program), the document is held in memory and streamed to it,
// never written to a file.
#pragma once

#include <string>
#include <string_view>

namespace CupsJob {

enum class Sides { OneSided, LongEdge, ShortEdge };

// What the officer chose in the print dialog, beside the pages (which the
// document already holds: only the chosen ones are laid out).
struct Settings {
    int copies = 1;
    bool collate = true;
    Sides sides = Sides::OneSided;
    bool monochrome = false;
};

struct Result {
    bool sent = false;
    int job = 0;        // the print system's job number, when sent
    std::string reason; // why not, in the print system's words, when not
};

// Sends pdf to the printer named printer ("queue" or "queue/instance") as one
// job titled title; the instance's own defaults apply beneath settings.
// Blocks while the document travels to the print server: call it away from
// the window's thread.
Result SendPdf(const std::string& printer, const std::string& title, std::string_view pdf,
               const Settings& settings);

// The number of pages of a PDF as a browser writes it (page objects in plain
// view, no object streams); 0 when none can be counted.
int PdfPageCount(std::string_view pdf);

} // namespace CupsJob
