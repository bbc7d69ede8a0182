// The engine's side of the two records, checked against the system's own record classes:
// what the system lays out, the engine must read, and what the engine writes, the system
// must read back.

#include "download/TaskInfoRecord.h"
#include "download/TaskParamRecord.h"
#include "engine/TaskReport.h"
#include "engine/TaskRequest.h"
#include "engine/Utf16.h"
#include "text/Codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> units(std::initializer_list<char16_t> text) {
    std::vector<unsigned char> bytes;
    for (char16_t u : text) {
        bytes.push_back(static_cast<unsigned char>(u & 0xFF));
        bytes.push_back(static_cast<unsigned char>(u >> 8));
    }
    return bytes;
}

TEST(EngineUtf16, FieldsDecodeUpToTheirTerminatorOrTheirEnd) {
    struct Case {
        const char* what;
        std::vector<unsigned char> field;
        std::string utf8;
    } cases[] = {
        {"ascii with terminator", units({u'a', u'b', 0, u'x'}), "ab"},
        {"chinese", units({u'视', u'频'}), "视频"},
        {"surrogate pair", units({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"},
        {"lone high surrogate at the end", units({u'a', 0xD83D}), "a\xEF\xBF\xBD"},
        {"lone low surrogate", units({0xDE00, u'b'}),
         "\xEF\xBF\xBD"
         "b"},
        {"odd trailing byte ignored", {'a', 0, 'b'}, "a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16leFieldToUtf8(c.field.data(), c.field.size()), c.utf8) << c.what;
}

TEST(EngineUtf16, EncodingStopsAtTheLimitWithoutSplittingAPair) {
    EXPECT_EQ(utf8ToUtf16le("视频", 8), units({u'视', u'频'}));
    EXPECT_EQ(utf8ToUtf16le("ab\xF0\x9F\x98\x80", 3), units({u'a', u'b'}));
    EXPECT_EQ(utf8ToUtf16le("a\xFF"
                            "b",
                            8),
              units({u'a', 0xFFFD, u'b'}));
}

TEST(EngineRecords, ReadsWhatTheSystemLaysOut) {
    TaskParamRecord param;
    ASSERT_NE(param.defineFields("http://127.0.0.1:8/v.mp4", "http://ref/", "a=1; b=2",
                                 utf8ToCp936("第1课 视频.mp4"), utf8ToCp936("/tmp/下载/"), true,
                                 true, false),
              nullptr);
    const TaskRequest request = readTaskRequest(param.baseAddress());
    EXPECT_EQ(request.url, "http://127.0.0.1:8/v.mp4");
    EXPECT_EQ(request.referrer, "http://ref/");
    EXPECT_EQ(request.cookies, "a=1; b=2");
    EXPECT_EQ(request.fileName, "第1课 视频.mp4");
    EXPECT_EQ(request.folder, "/tmp/下载/");
    EXPECT_TRUE(request.givenAddressOnly);
    EXPECT_TRUE(request.noSmartNaming);
    EXPECT_FALSE(request.useResume);

    param.defineFields("http://h/v");
    const TaskRequest defaults = readTaskRequest(param.baseAddress());
    EXPECT_FALSE(defaults.givenAddressOnly);
    EXPECT_FALSE(defaults.noSmartNaming);
    EXPECT_TRUE(defaults.useResume);
    EXPECT_TRUE(defaults.referrer.empty());
}

TEST(EngineRecords, AnOverlongNameWithoutTerminatorIsReadToTheFieldsEnd) {
    TaskParamRecord param;
    param.defineFields("http://h/v", {}, {}, std::string(300, 'n'), "/tmp/");
    EXPECT_EQ(readTaskRequest(param.baseAddress()).fileName, std::string(260, 'n'));
}

TEST(EngineRecords, TheSystemReadsWhatTheEngineWrites) {
    TaskInfoRecord info;
    ASSERT_NE(info.defineFields(), nullptr);
    TaskReport report;
    report.state = stateFailed;
    report.failureCode = 10;
    report.fileName = "第2课.mp4";
    report.totalSize = 5'000'000'000;
    report.downloadedBytes = 1'234'567'890'123;
    report.progress = 0.25f;
    report.totalSources = 8;
    report.activeSources = 3;
    report.originBytes = 77;
    report.speed = 262144;
    report.originInUse = true;
    report.fileCreated = 1;
    writeTaskReport(info.baseAddress(), report);
    EXPECT_EQ(info.state(), 1);
    EXPECT_EQ(info.failureCode(), 10);
    EXPECT_EQ(info.fileName(), utf8ToCp936("第2课.mp4"));
    EXPECT_EQ(info.totalSize(), 5'000'000'000);
    EXPECT_EQ(info.downloadedBytes(), 1'234'567'890'123);
    EXPECT_FLOAT_EQ(info.progress(), 0.25f);
    EXPECT_EQ(info.totalSources(), 8);
    EXPECT_EQ(info.availableSources(), 3);
    EXPECT_EQ(info.originBytes(), 77);
    EXPECT_EQ(info.speed(), 262144);
    EXPECT_TRUE(info.originSource());
    EXPECT_EQ(info.createFile(), 1);
    // The reserved tail after the last field stays untouched.
    const std::uint8_t* base = info.baseAddress();
    for (int i = 1173; i < 1429; ++i)
        ASSERT_EQ(base[i], 0) << i;
}

TEST(EngineRecords, ALongReportedNameKeepsItsTerminatorInsideTheField) {
    std::vector<unsigned char> record(1429, 0xAA);
    TaskReport report;
    report.fileName = std::string(400, 'x');
    writeTaskReport(record.data(), report);
    EXPECT_EQ(record[8 + 2 * 258], 'x');
    EXPECT_EQ(record[8 + 2 * 259], 0);
    EXPECT_EQ(record[8 + 2 * 259 + 1], 0);
    EXPECT_EQ(record[528], 0xAA); // "szReserved0" after the name is not written
}

TEST(EngineRequestChecks, RefusesWhatCouldReachOutsideTheFolderOrTheHeaders) {
    struct Case {
        const char* what;
        std::string url, referrer, cookies, name, folder;
        bool noSmartNaming;
        FailureCode expected;
    } cases[] = {
        {"plain", "http://h/v.mp4", "", "", "v.mp4", "/tmp/x/", true, FailureCode::none},
        {"https, upper-case scheme", "HTTPS://h/v", "", "", "v", "d", true, FailureCode::none},
        {"empty name with smart naming", "http://h/v", "", "", "", "d", false, FailureCode::none},
        {"empty address", "", "", "", "v", "d", true, FailureCode::badAddress},
        {"magnet", "magnet:?xt=urn:btih:00", "", "", "v", "d", true, FailureCode::badAddress},
        {"file scheme", "file:///etc/passwd", "", "", "v", "d", true, FailureCode::badAddress},
        {"line break in address", "http://h/v\r\nX: y", "", "", "v", "d", true,
         FailureCode::badAddress},
        {"line break in referrer", "http://h/v", "r\r\nX: y", "", "v", "d", true,
         FailureCode::badHeader},
        {"line break in cookies", "http://h/v", "", "a=1\nX: y", "v", "d", true,
         FailureCode::badHeader},
        {"slash in name", "http://h/v", "", "", "../v", "d", true, FailureCode::badFileName},
        {"dot", "http://h/v", "", "", ".", "d", true, FailureCode::badFileName},
        {"dot dot", "http://h/v", "", "", "..", "d", true, FailureCode::badFileName},
        {"empty name used as given", "http://h/v", "", "", "", "d", true, FailureCode::badFileName},
        {"name too long", "http://h/v", "", "", std::string(250, 'n'), "d", true,
         FailureCode::badFileName},
        {"no folder", "http://h/v", "", "", "v", "", true, FailureCode::badFolder},
    };
    for (const Case& c : cases) {
        TaskRequest request;
        request.url = c.url;
        request.referrer = c.referrer;
        request.cookies = c.cookies;
        request.fileName = c.name;
        request.folder = c.folder;
        request.noSmartNaming = c.noSmartNaming;
        EXPECT_EQ(checkTaskRequest(request), c.expected) << c.what;
    }
}

TEST(EngineStates, FollowTheTransferAndTheCallersLastWord) {
    struct Case {
        TransferPhase phase;
        bool bytesArrived;
        bool wantRunning;
        bool factsCurrent;
        std::int32_t state;
    } cases[] = {
        {TransferPhase::notAdded, false, false, true, statePaused},
        {TransferPhase::notAdded, false, true, false, stateRequesting},
        {TransferPhase::waiting, false, true, true, stateRequesting},
        {TransferPhase::active, false, true, true, stateRequesting},
        {TransferPhase::active, true, true, true, stateDownloading},
        {TransferPhase::active, true, false, false, stateStopping},
        {TransferPhase::active, true, false, true, stateStopping},
        {TransferPhase::waiting, false, false, true, stateStopping},
        {TransferPhase::paused, false, false, true, statePaused},
        // Resumed but not yet taken up: must not read as paused, or polling would stop.
        {TransferPhase::paused, false, true, false, stateRequesting},
        {TransferPhase::complete, false, false, true, stateFinished},
        {TransferPhase::complete, false, true, false, stateFinished},
        {TransferPhase::failed, false, true, true, stateFailed},
        {TransferPhase::failed, false, false, false, stateFailed},
        // A retry of a failed task: the old failure must not be reported meanwhile.
        {TransferPhase::failed, false, true, false, stateRequesting},
    };
    for (const Case& c : cases) {
        TaskFacts facts;
        facts.phase = c.phase;
        facts.bytesArrived = c.bytesArrived;
        facts.failure = FailureCode::notFound;
        const TaskReport report = reportFor(facts, c.wantRunning, c.factsCurrent);
        EXPECT_EQ(report.state, c.state)
            << static_cast<int>(c.phase) << " arrived " << c.bytesArrived << " want "
            << c.wantRunning << " current " << c.factsCurrent;
        EXPECT_EQ(report.failureCode, c.state == stateFailed ? 10 : 0);
    }
}

TEST(EngineStates, APausedTaskReportsNoSpeedOrConnections) {
    TaskFacts facts;
    facts.phase = TransferPhase::paused;
    facts.bytesPerSecond = 5000; // aria2's average lingers after a pause
    facts.activeConnections = 4;
    facts.usableConnections = 8;
    facts.totalBytes = 400;
    facts.completedBytes = 100;
    const TaskReport report = reportFor(facts, false, true);
    EXPECT_EQ(report.speed, 0);
    EXPECT_EQ(report.activeSources, 0);
    EXPECT_EQ(report.totalSources, 8);
    EXPECT_FLOAT_EQ(report.progress, 0.25f);
}

} // namespace
