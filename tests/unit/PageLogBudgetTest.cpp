// What a page can make Tavlin write: once per kind per document, then
// counted; all kinds together held to a rate; long texts cut.
#include "PageLogBudget.h"

#include <gtest/gtest.h>

namespace {

using Clock = PageLogBudget::Clock;
using std::chrono::seconds;

TEST(PageLogBudget, EachKindOnceAPageThenCountedAndSummedUpWhenThePageIsLeft) {
    PageLogBudget budget;
    const Clock::time_point t0{};
    EXPECT_TRUE(budget.admit("navigation", t0));
    EXPECT_TRUE(budget.admit("files", t0));
    for (int i = 0; i < 1000; ++i) {
        EXPECT_FALSE(budget.admit("navigation", t0));
    }
    EXPECT_FALSE(budget.admit("files", t0));
    const std::vector<std::string> summary = budget.leaveDocument(t0 + seconds(61));
    ASSERT_EQ(summary.size(), 2u);
    EXPECT_EQ(summary[0], "files: 1 more on that page, not written one by one");
    EXPECT_EQ(summary[1], "navigation: 1000 more on that page, not written one by one");
    // The next page starts afresh, and a page without repeats leaves nothing to say.
    EXPECT_TRUE(budget.admit("navigation", t0 + seconds(61)));
    EXPECT_TRUE(budget.leaveDocument(t0 + seconds(61)).empty());
}

TEST(PageLogBudget, SeveralOfAKindWhenAllowed) {
    PageLogBudget budget;
    const Clock::time_point t0{};
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(budget.admit("console", t0, 10)) << i;
    }
    EXPECT_FALSE(budget.admit("console", t0, 10));
}

TEST(PageLogBudget, PagesThatFollowEachOtherFastAreHeldToTheRate) {
    // A page that reloads itself and is refused once on every load writes no
    // more than the rate allows, and the next written line says how many were held back.
    PageLogBudget budget(5);
    const Clock::time_point t0{};
    int written = 0;
    for (int page = 0; page < 100; ++page) {
        written += budget.admit("navigation", t0 + std::chrono::milliseconds(page)) ? 1 : 0;
        budget.leaveDocument(t0 + std::chrono::milliseconds(page));
    }
    EXPECT_EQ(written, 5);
    EXPECT_EQ(budget.takeHeldBack(), 95);
    EXPECT_EQ(budget.takeHeldBack(), 0);
    // A minute later the page may be heard again.
    EXPECT_TRUE(budget.admit("navigation", t0 + seconds(61)));
}

TEST(PageLogBudget, LogExcerptCutsOnCharacterBoundariesAndSaysTheLength) {
    EXPECT_EQ(LogExcerpt("http://a/b", 160), "http://a/b");
    const std::string longAddress = "http://x/" + std::string(100000, 'a');
    const std::string cut = LogExcerpt(longAddress, 160);
    EXPECT_EQ(cut, longAddress.substr(0, 160) + "…(100009 bytes)");
    // "照" is three bytes: a cut in its middle goes back to its start.
    const std::string chinese = "ab照片";
    EXPECT_EQ(LogExcerpt(chinese, 3), "ab…(8 bytes)");
    EXPECT_EQ(LogExcerpt(chinese, 5), "ab照…(8 bytes)");
    EXPECT_EQ(LogExcerpt(chinese, 8), chinese);
}

} // namespace
