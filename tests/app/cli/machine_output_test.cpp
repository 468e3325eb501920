// The machine-readable outputs of updater-cli built alone: the --json events,
// the --report record and its times, the wire trace's lines, and the summary
// table of several instruments.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/cli/device_board.h"
#include "app/cli/json_events.h"
#include "app/cli/trace_file.h"
#include "app/cli/update_report.h"
#include "wiretrace/trace_format.h"
#include "json_schema.h"

namespace {

namespace fs = std::filesystem;

TEST(JsonEvents, EachWorkerLineKindAndTheDialogueFollowTheSchema) {
    struct Case {
        std::string line;
        nlohmann::json expected;
    };
    const std::vector<Case> cases = {
        {"Sending kernel.", {{"event", "step"}, {"device", "/dev/a"}, {"text", "Sending kernel."}}},
        {"DATA:250:200", {{"event", "progress"}, {"device", "/dev/a"}, {"sent", 50}, {"total", 250}, {"percent", 20}}},
        {"DATA:0:0", {{"event", "progress"}, {"device", "/dev/a"}, {"sent", 0}, {"total", 0}, {"percent", 0}}},
        {"ERROR:lost", {{"event", "error"}, {"device", "/dev/a"}, {"text", "lost"}}},
        {"", {{"event", "step"}, {"device", "/dev/a"}, {"text", ""}}},
    };
    for (const Case& c : cases) {
        const nlohmann::json event = cli::LineEvent("/dev/a", c.line);
        EXPECT_EQ(event, c.expected) << c.line;
        cli_test::ExpectSchema(event, cli_test::EventSchema(event["event"]));
    }
    cli_test::ExpectSchema(cli::QuestionEvent("/dev/a", "Are you sure?", "Continue?"), cli_test::EventSchema("question"));
    EXPECT_EQ(cli::AnswerEvent("/dev/a", false)["answer"], "no");

    cli::UpdateOutcome failed;
    failed.device = "/dev/a";
    failed.status = cli::kExitLinkNotOpened;
    failed.finalText = "ERROR: Can not establish communications.";
    failed.linkFailure = "/dev/a: busy";
    const nlohmann::json result = cli::ResultEvent(failed);
    cli_test::ExpectSchema(result, cli_test::EventSchema("result"));
    EXPECT_EQ(result["status"], 4);
    EXPECT_EQ(result["detail"], "/dev/a: busy");
    failed.status = cli::kExitUpdateFailed;
    failed.linkFailure.clear();
    failed.failure = {engine::UpdateStep::kClear, engine::FailureReason::kStatusByte, 1, -1, 0, 1, 15000, 0, 0};
    const nlohmann::json detailed = cli::ResultEvent(failed);
    cli_test::ExpectSchema(detailed, cli_test::EventSchema("result"));
    EXPECT_EQ(detailed["stage"], "clear");
    EXPECT_EQ(detailed["reason"], "status");
    // A version text that is not UTF-8 still gives one valid line.
    const std::string line = cli::JsonLine(cli::QuestionEvent("/dev/a", "from \xFF\xFE to 2?", "Continue?"));
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_TRUE(nlohmann::json::accept(line));
}

TEST(UpdateReport, RecordFollowsTheSchemaWithDigestsAndUtcTimes) {
    const fs::path dir = fs::temp_directory_path() / ("report-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "kernel.bin", std::ios::binary) << "abc";
    update_info info{"2.0.0", "Orvane", "<ORV72>", (dir / "missing.bin").string(), (dir / "kernel.bin").string()};
    cli::UpdateOutcome outcome;
    outcome.device = "/dev/ttyUSB0";
    outcome.status = cli::kExitUpdateFailed;
    outcome.finalText = "Could not clear flash.";
    outcome.steps = {"Contacting instrument.", "Clearing flash."};
    outcome.installedVersion = "1.0.0";
    outcome.updateMethod = 2;
    outcome.startUnixMs = 1'765'240'805'123;  // 2025-12-09T00:40:05.123Z
    outcome.endUnixMs = outcome.startUnixMs + 61'000;
    // The images as the update held them: a kernel read whole, an update not.
    outcome.kernel = cli::DigestImageFile(info.kernel_file);

    const nlohmann::json record = cli::BuildUpdateRecord(outcome, info, "0.1.0");
    cli_test::ExpectRecordSchema(record);
    EXPECT_EQ(record["start"], "2025-12-09T00:40:05.123Z");
    EXPECT_EQ(record["end"], "2025-12-09T00:41:06.123Z");
    EXPECT_EQ(record["kernel"]["size"], 3);
    EXPECT_EQ(record["kernel"]["sha256"], "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(record["update"]["size"].is_null());  // not read: no size, no digest
    EXPECT_EQ(record["steps"].size(), 2u);
    EXPECT_EQ(record["status"], 1);
    EXPECT_EQ(cli::IsoUtcTime(-1), "1969-12-31T23:59:59.999Z");
    fs::remove_all(dir);
}

TEST(TraceFile, RunsShareALineAndEveryLineReadsBack) {
    const fs::path path = fs::temp_directory_path() / ("trace-" + std::to_string(::getpid()) + ".txt");
    {
        cli::TraceFile trace(path.string(), stderr);
        ASSERT_TRUE(trace.IsOpen()) << trace.Error();
        const std::uint8_t probe[] = {0x3C, 0x3E, 0x0A};
        trace.Bytes(TraceDirection::kSent, probe, 2, 9600);
        trace.Bytes(TraceDirection::kSent, probe + 2, 1, 9600);  // the same run
        trace.Bytes(TraceDirection::kReceived, probe, 1, 9600);   // a turn of direction
        trace.Bytes(TraceDirection::kReceived, probe, 1, 38400);  // a new rate
        trace.Marker("Sending kernel.");
        const std::vector<std::uint8_t> stream(cli::kMaxRunBytes + 1, 0x55);
        trace.Bytes(TraceDirection::kSent, stream.data(), stream.size(), 38400);
    }
    std::ifstream in(path);
    std::vector<wire_trace::TraceEvent> events;
    std::string line;
    while (std::getline(in, line)) {
        const wire_trace::ParsedLine parsed = wire_trace::ParseTraceLine(line);
        EXPECT_TRUE(parsed.error.empty()) << line;
        if (parsed.event) events.push_back(*parsed.event);
    }
    in.close();  // Windows removes no file that is still open
    fs::remove(path);
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].bytes, (std::vector<std::uint8_t>{0x3C, 0x3E, 0x0A}));
    EXPECT_EQ(events[1].kind, wire_trace::TraceEvent::Kind::kReceived);
    EXPECT_EQ(events[2].baud, 38400);
    EXPECT_EQ(events[3].text, "Sending kernel.");
    EXPECT_EQ(events[4].bytes.size(), cli::kMaxRunBytes);
    EXPECT_EQ(events[5].bytes.size(), 1u);
    EXPECT_LE(events[0].timeUs, events[5].timeUs);
}

TEST(SummaryTable, OneRowPerInstrumentWithWhyALinkFailed) {
    cli::UpdateOutcome ok;
    ok.device = "/dev/ttyUSB10";
    ok.status = cli::kExitSuccess;
    ok.finalText = "Update successful.";
    cli::UpdateOutcome declined;
    declined.device = "/dev/b";
    declined.status = cli::kExitOperatorDeclined;
    cli::UpdateOutcome unopened;
    unopened.device = "/dev/c";
    unopened.status = cli::kExitLinkNotOpened;
    unopened.finalText = "ERROR: Can not establish communications.";
    unopened.linkFailure = "/dev/c: no such device";
    EXPECT_EQ(cli::SummaryTable({ok, declined, unopened}),
              "device         status  result\n"
              "/dev/ttyUSB10  0       Update successful.\n"
              "/dev/b         2       (answered No)\n"
              "/dev/c         4       ERROR: Can not establish communications. (/dev/c: no such device)\n");
}

}  // namespace
