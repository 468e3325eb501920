#include <gtest/gtest.h>

#include "app/worker_line.h"

namespace {

using app::LineKind;

struct ProgressCase {
    const char* line;
    std::int32_t total;
    std::int32_t sent;
    std::int32_t percent;
    const char* sentText;
};

TEST(WorkerLine, ProgressLinesGiveCountsAndTruncatedPercent) {
    const ProgressCase cases[] = {
        {"DATA:950:950", 950, 0, 0, "0"},
        {"DATA:950:0", 950, 950, 100, "950"},
        {"DATA:950:900", 950, 50, 5, "50"},     // 5.26 truncated
        {"DATA:3:2", 3, 1, 33, "1"},
        {"DATA:3:1", 3, 2, 66, "2"},            // 66.67 truncated, not rounded
        {"DATA:100:71", 100, 29, 28, "29"},     // quotient first: 0.29 * 100 is just below 29
        {"DATA:100:150", 100, -50, -50, "-50"},  // more left than in total
        {"DATA:100:-100", 100, 200, 200, "200"},
        {"DATA:4294967294:4294967294", -2, 0, 0, "0"},  // both images missing
        {"DATA:", 0, 0, 0, "0"},                // no digits read as 0; a zero total gives 0
        {"DATA:5", 5, 0, 0, "0"},               // no ':' — both fields are the whole rest
        {"DATA:0:7", 0, -7, 0, "-7"},
        {"DATA: +12xyz:-3", 12, 15, 125, "15"},
        {"DATA:abc:def", 0, 0, 0, "0"},
    };
    for (const ProgressCase& c : cases) {
        const app::WorkerLine line = app::ReadWorkerLine(c.line);
        ASSERT_EQ(line.kind, LineKind::Progress) << c.line;
        EXPECT_EQ(line.progress.total, c.total) << c.line;
        EXPECT_EQ(line.progress.sent, c.sent) << c.line;
        EXPECT_EQ(line.progress.percent, c.percent) << c.line;
        EXPECT_EQ(line.progress.sentText, c.sentText) << c.line;
        EXPECT_EQ(line.progress.totalText, std::to_string(c.total)) << c.line;
    }
}

TEST(WorkerLine, ExtremeCountsStayDefined) {
    // The difference wraps at 32 bits instead of overflowing.
    const app::ProgressView wrapped = app::ReadProgress("2147483647:-2147483648");
    EXPECT_EQ(wrapped.sent, -1);
    EXPECT_EQ(wrapped.percent, 0);

    // A tiny total makes the quotient far larger than an int: it is held at the limit.
    EXPECT_EQ(app::ReadProgress("2:-2147483640").percent, INT32_MAX);
    EXPECT_EQ(app::ReadProgress("-1:2147483647").percent, INT32_MAX);
    EXPECT_EQ(app::ReadProgress("1:2147483647").percent, INT32_MIN);
    EXPECT_EQ(app::ReadProgress("0:-2147483648").percent, 0);
}

TEST(WorkerLine, FieldsReadLikeAtoiWithWrapAround) {
    EXPECT_EQ(app::ReadWrappedInt32("4294967294"), -2);
    EXPECT_EQ(app::ReadWrappedInt32("4294967296"), 0);
    EXPECT_EQ(app::ReadWrappedInt32("2147483648"), INT32_MIN);
    EXPECT_EQ(app::ReadWrappedInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(app::ReadWrappedInt32("-4294967295"), 1);
    EXPECT_EQ(app::ReadWrappedInt32("99999999999999999999"), static_cast<std::int32_t>(1661992959u));
    EXPECT_EQ(app::ReadWrappedInt32(" \t\n+42 7"), 42);
    EXPECT_EQ(app::ReadWrappedInt32("- 5"), 0);
    EXPECT_EQ(app::ReadWrappedInt32(""), 0);
}

TEST(WorkerLine, ErrorAndStatusLinesAreToldApartCaseSensitively) {
    const app::WorkerLine error = app::ReadWorkerLine("ERROR:Port lost");
    EXPECT_EQ(error.kind, LineKind::Error);
    EXPECT_EQ(error.text, "Port lost");
    EXPECT_EQ(app::ReadWorkerLine("ERROR:").text, "");

    for (const char* status : {"data:1:1", "Error: Memory error at 0x1234.", "DATA", "ERROR", "",
                               " DATA:1:1", "Sending kernel."}) {
        const app::WorkerLine line = app::ReadWorkerLine(status);
        EXPECT_EQ(line.kind, LineKind::Status) << status;
        EXPECT_EQ(line.text, status);
    }
}

}  // namespace
