// The tag-language dialogue: method detection, version query, upper-casing.

#include <gtest/gtest.h>

#include "scripted_fixture.h"

namespace engine_test {
namespace {

const std::string kProbeLine = "<ORV72><CFG><OUTRATE>0</OUTRATE></CFG></ORV72>\n";
const std::string kVersionLine = "<ORV72>?</ORV72>\n";

// An onWrite hook that hands each complete line (line feed included) to `reply`.
std::function<void(ScriptedLine&, std::uint8_t)> OnLine(
    std::function<void(ScriptedLine&, const std::string&)> reply) {
    auto pending = std::make_shared<std::string>();
    return [pending, reply](ScriptedLine& line, std::uint8_t byte) {
        pending->push_back(static_cast<char>(byte));
        if (byte == '\n') {
            reply(line, *pending);
            pending->clear();
        }
    };
}

class DialogueTest : public ScriptedTest {};

TEST_F(DialogueTest, SilentInstrumentIsMethodOneAfterPauseFlushAndFiveReads) {
    DataExchange& w = OpenWorker();
    const std::uint32_t start = clock.NowMs();
    EXPECT_EQ(w.DetectUpdateMethod(), kMethodBootOnly);
    EXPECT_EQ(line.Written(), kProbeLine + "<>\n");
    EXPECT_EQ(Last(LineEvent::kFlushInput) - start, 500U);
    EXPECT_EQ(clock.NowMs() - start, 500U + 5 * 100U);
}

TEST_F(DialogueTest, ParentTagIsUsedAsStored) {
    info.parent_tag = "<ORV72>";
    OpenWorker().DetectUpdateMethod();
    EXPECT_EQ(line.Written(), "<<ORV72>><CFG><OUTRATE>0</OUTRATE></CFG></<ORV72>>\n<>\n");
}

TEST_F(DialogueTest, AcknowledgementDecidesTheMethod) {
    struct Case {
        std::vector<std::string> replies;
        std::int32_t method;
    };
    const Case cases[] = {
        {{"<ack>false</ack>\n"}, kMethodTagLanguage},
        {{"<X>1</X><ack>false</ack><Y/>\n"}, kMethodTagLanguage},
        {{"<ACK>FALSE</ACK>\n"}, kMethodBootOnly},
        {{"a\n", "b\n", "c\n", "d\n", "<ack>false</ack>\n"}, kMethodTagLanguage},
        {{"a\n", "b\n", "c\n", "d\n", "e\n", "<ack>false</ack>\n"}, kMethodBootOnly},
    };
    for (const Case& c : cases) {
        worker.reset();
        line.onWrite = OnLine([&c](ScriptedLine& l, const std::string& text) {
            if (text == "<>\n") {
                for (const std::string& reply : c.replies) l.Send(reply, 10);
            }
        });
        EXPECT_EQ(OpenWorker().DetectUpdateMethod(), c.method) << c.replies.back();
    }
}

TEST_F(DialogueTest, ReplyToTheProbeLineIsDiscarded) {
    line.onWrite = OnLine([](ScriptedLine& l, const std::string& text) {
        if (text == kProbeLine) l.Send("<ack>false</ack>\n", 100);
    });
    EXPECT_EQ(OpenWorker().DetectUpdateMethod(), kMethodBootOnly);
}

struct VersionCase {
    std::string reply;
    bool found;
    std::string version;
};

class VersionTest : public ScriptedTest {
protected:
    std::string Query(const std::string& reply, bool& found) {
        line.onWrite = OnLine([reply](ScriptedLine& l, const std::string& text) {
            if (text == kVersionLine) l.Send(reply, 20);
        });
        std::string version = "Unknown";
        found = OpenWorker().QueryVersion(version);
        return version;
    }
};

TEST_F(VersionTest, RepliesAreParsedOnTheUpperCasedLine) {
    const VersionCase cases[] = {
        {"<CFG><VER>1.0.2b</VER></CFG>\n", true, "1.0.2B"},
        {"<ver>2.1</ver>\n", true, "2.1"},
        {"<VER>3.0\n", true, "3.0\n"},
        {std::string("<VER>1.5\0X</VER>\n", 17), true, "1.5"},
        {std::string(2000, 'x') + "<VER>9.9</VER>\n", true, "9.9"},
        {"<VERSION>\n", false, "Unknown"},
        {std::string("AB\0<VER>1</VER>\n", 16), false, "Unknown"},
    };
    for (const VersionCase& c : cases) {
        worker.reset();
        bool found = false;
        EXPECT_EQ(Query(c.reply, found), c.version) << c.reply;
        EXPECT_EQ(found, c.found) << c.reply;
    }
}

TEST_F(VersionTest, QueueIsClearedAndTheQueryWrittenOnce) {
    DataExchange& w = OpenWorker();
    line.Send("<VER>stale</VER>\n");
    const std::uint32_t start = clock.NowMs();
    std::string version = "Unknown";
    EXPECT_FALSE(w.QueryVersion(version));
    EXPECT_EQ(version, "Unknown");
    EXPECT_EQ(line.Written(), kVersionLine);
    EXPECT_EQ(clock.NowMs() - start, 5 * 2000U);
    const auto events = line.Events();
    ASSERT_GE(events.size(), 3U);
    EXPECT_EQ(events[events.size() - kVersionLine.size() - 2].kind, LineEvent::kFlushInput);
    EXPECT_EQ(events[events.size() - kVersionLine.size() - 1].kind, LineEvent::kFlushOutput);
}

TEST(ToUpperAsciiTest, RaisesOnlyTheLettersAtoZ) {
    std::string text = "abc xyz `{@[ AZ \xe4\xff 09";
    DataExchange::ToUpperAscii(text);
    EXPECT_EQ(text, "ABC XYZ `{@[ AZ \xe4\xff 09");
}

}  // namespace
}  // namespace engine_test
