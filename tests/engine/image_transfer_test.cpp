// Image transfers: echoed kernel with its end code, streamed update image with
// its held-back bytes, image sizes and the progress lines.

#include <gtest/gtest.h>

#include "scripted_fixture.h"

namespace engine_test {
namespace {

class KernelTest : public ScriptedTest {
protected:
    // Echoes every kernel byte; after the last one sends `end`.
    void EchoThenEnd(const std::string& end) {
        line.onWrite = [this, end, n = std::size_t{0}](ScriptedLine& l, std::uint8_t byte) mutable {
            l.SendByte(byte, 2);
            if (++n == kernel.size()) l.Send(end, 5);
        };
    }
    std::string result;
};

TEST_F(KernelTest, EndCodeDecides) {
    struct Case {
        std::string end;
        bool ok;
        std::string text;
    };
    const Case cases[] = {
        {"\x5A", true, ""},
        {std::string("\xA5\x03\x00", 3), false, "Error: 3 memory errors encountered."},
        {std::string("\xA5\x00\x01", 3), false, "Error: 256 memory errors encountered."},
        {"\xA5\x03", false, ""},  // count incomplete: no count reported
        {std::string("\x00", 1), false, ""},
        {"", false, ""},
    };
    WriteImages(120, 2);
    for (const Case& c : cases) {
        worker.reset();
        DataExchange& w = OpenWorker();
        EchoThenEnd(c.end);
        result.clear();
        EXPECT_EQ(w.SendImageEchoed(info.kernel_file, result), c.ok);
        EXPECT_EQ(result, c.text);
    }
}

TEST_F(KernelTest, BothCountBytesAreAwaitedEvenWhenTheFirstIsMissing) {
    WriteImages(1, 2);
    DataExchange& w = OpenWorker();
    EchoThenEnd("\xA5");
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(w.SendImageEchoed(info.kernel_file, result));
    // The end code 5 ms after the write, then two silent waits of 500 ms.
    EXPECT_EQ(clock.NowMs() - start, 5U + 500U + 500U);
    EXPECT_EQ(result, "");
}

TEST_F(KernelTest, EveryByteIsEchoedAndProgressFollowsTheSharedCount) {
    WriteImages(120, 130);
    DataExchange& w = OpenWorker();
    EchoThenEnd("\x5A");
    EXPECT_TRUE(w.SendImageEchoed(info.kernel_file, result));
    EXPECT_EQ(line.Written(), kernel);
    EXPECT_EQ(w.BytesLeft(), 130);
    EXPECT_EQ(Posted(), (std::vector<std::string>{"DATA:250:200", "DATA:250:130"}));
}

TEST_F(KernelTest, WrongEchoStopsAtOnce) {
    WriteImages(120, 2);
    DataExchange& w = OpenWorker();
    line.onWrite = [n = 0](ScriptedLine& l, std::uint8_t byte) mutable {
        l.SendByte(++n == 3 ? static_cast<std::uint8_t>(byte ^ 0xFF) : byte, 2);
    };
    EXPECT_FALSE(w.SendImageEchoed(info.kernel_file, result));
    EXPECT_EQ(line.Written(), kernel.substr(0, 3));
    EXPECT_EQ(w.BytesLeft(), 120);  // 122 less the two bytes echoed correctly
    EXPECT_TRUE(Posted().empty());
}

TEST_F(KernelTest, StrayByteBeforeTheFirstEchoIsTakenAsTheEcho) {
    WriteImages(120, 2);
    DataExchange& w = OpenWorker();
    line.SendByte(0xAA);  // a second sync answer still waiting
    EchoThenEnd("\x5A");
    EXPECT_FALSE(w.SendImageEchoed(info.kernel_file, result));
    EXPECT_EQ(line.WriteCount(), 1);
}

TEST_F(KernelTest, EchoWaitIsHalfASecond) {
    WriteImages(1, 2);
    DataExchange& w = OpenWorker();
    line.onWrite = [](ScriptedLine& l, std::uint8_t byte) { l.SendByte(byte, 501); };
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(w.SendImageEchoed(info.kernel_file, result));
    EXPECT_EQ(clock.NowMs() - start, 500U);
}

TEST_F(KernelTest, EmptyKernelSendsNothingPostsOnceAndAwaitsTheEndCode) {
    WriteImages(0, 2);
    DataExchange& w = OpenWorker();
    const std::uint32_t start = clock.NowMs();
    EXPECT_FALSE(w.SendImageEchoed(info.kernel_file, result));
    EXPECT_EQ(line.WriteCount(), 0);
    EXPECT_EQ(clock.NowMs() - start, 500U);
    EXPECT_EQ(Posted(), std::vector<std::string>{"DATA:2:2"});
}

TEST_F(KernelTest, MissingKernelSendsAndPostsNothing) {
    DataExchange& w = OpenWorker();
    EXPECT_FALSE(w.SendImageEchoed(info.kernel_file, result));
    EXPECT_EQ(line.WriteCount(), 0);
    EXPECT_TRUE(Posted().empty());
}

class StreamTest : public ScriptedTest {};

TEST_F(StreamTest, HeldBackBytesFollowOneSecondAfterTheLastBodyByte) {
    WriteImages(120, 130);
    DataExchange& w = OpenWorker();
    line.onWrite = [n = 0](ScriptedLine& l, std::uint8_t byte) mutable {
        if (++n <= 120) l.SendByte(byte, 2);
        if (n == 120) l.SendByte(0x5A, 3);
    };
    std::string result;
    ASSERT_TRUE(w.SendImageEchoed(info.kernel_file, result));
    window.postCostMs = 7;  // posting a line takes time: the hold-back must not grow
    EXPECT_TRUE(w.SendImageStreamed(info.update_file));
    EXPECT_EQ(line.Written(), kernel + update);
    const auto writes = line.Times(LineEvent::kWrite);
    EXPECT_EQ(writes[120 + 128] - writes[120 + 127], 1000U);
    EXPECT_EQ(writes[120 + 129] - writes[120 + 128], 7U);
    EXPECT_EQ(Posted(), (std::vector<std::string>{"DATA:250:200", "DATA:250:130", "DATA:250:100",
                                                  "DATA:250:2", "DATA:250:1", "DATA:250:0"}));
}

TEST_F(StreamTest, TwoByteImageHasNoBody) {
    WriteImages(0, 2);
    DataExchange& w = OpenWorker();
    const std::uint32_t start = clock.NowMs();
    EXPECT_TRUE(w.SendImageStreamed(info.update_file));
    const auto writes = line.Times(LineEvent::kWrite);
    ASSERT_EQ(writes.size(), 2U);
    EXPECT_EQ(writes[0] - start, 1000U);
    EXPECT_EQ(Posted(), (std::vector<std::string>{"DATA:2:2", "DATA:2:1", "DATA:2:0"}));
}

TEST_F(StreamTest, ImagesTooShortOrMissingSendNothing) {
    for (std::size_t size : {0U, 1U}) {
        worker.reset();
        WriteImages(0, size);
        DataExchange& w = OpenWorker();
        EXPECT_FALSE(w.SendImageStreamed(info.update_file)) << size;
    }
    EXPECT_FALSE(worker->SendImageStreamed(PathIn("absent.bin")));
    EXPECT_EQ(line.WriteCount(), 0);
    EXPECT_TRUE(Posted().empty());
}

TEST_F(StreamTest, LengthChangedDuringTheBodyWithholdsTheLastTwoBytes) {
    for (const std::size_t newLength : {std::size_t{100}, std::size_t{140}}) {
        SCOPED_TRACE(newLength);
        worker.reset();
        WriteImages(0, 130);
        DataExchange& w = OpenWorker();
        const int before = line.WriteCount();
        line.onWrite = [&, n = 0](ScriptedLine&, std::uint8_t) mutable {
            if (++n == 50) std::filesystem::resize_file(info.update_file, newLength);
        };
        EXPECT_FALSE(w.SendImageStreamed(info.update_file));
        // At most the body (what the stream had buffered): never the whole image.
        EXPECT_LE(line.WriteCount() - before, 128);
    }
}

TEST_F(StreamTest, TransmitQueueIsNeverOverfilled) {
    WriteImages(0, 30000);
    DataExchange& w = OpenWorker();
    line.drainPerMs = 4;  // about 38400 baud
    EXPECT_TRUE(w.SendImageStreamed(info.update_file));
    EXPECT_EQ(line.Written(), update);
    EXPECT_LE(line.PeakTxCount(), 8191);
    EXPECT_GT(line.PeakTxCount(), 8000);
    EXPECT_GT(w.QueuedForLine(), 8000);  // what the bar takes as not yet on the line
}

TEST_F(StreamTest, WriteErrorFails) {
    WriteImages(0, 500);
    DataExchange& w = OpenWorker();
    line.failWritesFrom = 100;
    EXPECT_FALSE(w.SendImageStreamed(info.update_file));
    EXPECT_EQ(line.WriteCount(), 99);
    EXPECT_EQ(w.BytesLeft(), 500 - 99);
}

TEST_F(StreamTest, ImageSizes) {
    WriteImages(120, 130);
    EXPECT_EQ(DataExchange::GetImageSize(info.kernel_file), 120);
    EXPECT_EQ(DataExchange::GetImageSize(PathIn("absent.bin")), -1);
    EXPECT_EQ(DataExchange::GetImageSize(PathIn("")), -1);  // a folder
    DataExchange& w = OpenWorker();
    EXPECT_EQ(w.ByteTotal(), 250);
    EXPECT_EQ(w.BytesLeft(), 250);
    EXPECT_EQ(w.UpdateMethod(), 0);
    EXPECT_EQ(w.InstalledVersion(), "Unknown");
}

}  // namespace
}  // namespace engine_test
