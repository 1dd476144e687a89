#include "CupsJob.h"

#include <gtest/gtest.h>

#include <string>

TEST(PdfPageCount, CountsPagesNotTheirTree) {
    // As a browser writes it: a page tree node (/Pages) over page objects,
    // with and without a blank between the names, and a name that only
    // begins like /Page.
    const std::string pdf =
        "%PDF-1.4\n1 0 obj\n<</Type /Pages /Kids [2 0 R 3 0 R 4 0 R] /Count 3>>\nendobj\n"
        "2 0 obj\n<</Type /Page /Parent 1 0 R>>\nendobj\n"
        "3 0 obj\n<</Type/Page/Parent 1 0 R>>\nendobj\n"
        "4 0 obj\n<</Type\n/Page>>\nendobj\n"
        "5 0 obj\n<</Type /PageLabel>>\nendobj\n%%EOF\n";
    EXPECT_EQ(CupsJob::PdfPageCount(pdf), 3);
    EXPECT_EQ(CupsJob::PdfPageCount(""), 0);
    EXPECT_EQ(CupsJob::PdfPageCount("/Type /Page"), 1); // at the very end
    EXPECT_EQ(CupsJob::PdfPageCount("not a pdf /Type"), 0);
}

TEST(CupsJob, AnUnknownPrinterIsSaidNotSent) {
    // No print server where CUPS_SERVER points: the job is refused with the
    // print system's own reason, and nothing claims it was sent.
    setenv("CUPS_SERVER", "127.0.0.1:1", 1);
    const CupsJob::Result result = CupsJob::SendPdf("nowhere", "t", "%PDF-1.4\n", {});
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.job, 0);
    EXPECT_NE(result.reason.find("the printer nowhere is not known"), std::string::npos)
        << result.reason;
}
