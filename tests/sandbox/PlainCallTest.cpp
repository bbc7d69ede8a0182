#include "sandbox/CourseSandbox.h"
#include "sandbox/PlainCallReplies.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>

namespace {

const std::string endpoint = "/dwr/call/plaincall/PlanNewBean.getPlanCourseDetail.dwr";
const std::string userAgent =
    "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";

std::string planBody(const std::string& courseId) {
    return "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
           "PlanNewBean&c0-methodName=getPlanCourseDetail&c0-id=0&c0-param0=string:" +
           courseId + "&c0-param1=number:0&c0-param2=null:null&batchId=1234567890123";
}

std::string videoBody(const std::string& lessonId, const std::string& courseId) {
    return "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
           "LessonLearnBean&c0-methodName=getVideoLearnInfo&c0-id=0&c0-param0=string:" +
           lessonId + "&c0-param1=string:" + courseId + "&batchId=1234567890123";
}

// The client's two patterns, on the raw reply: its escapes are only \uXXXX (checked
// separately), so the structure they look for is the same before and after decoding.
// ECMAScript's "." stops at a line end as the client's does.
const std::regex lessonPattern(
    R"re(hasReferences.*?id=(\d+);.*?learnedIndex=null.*?lessonName="(.*?)";.*?liveContent=null)re",
    std::regex::icase);
const std::regex videoPattern(
    R"re(flvHdUrl="(.*?)";s1\.flvSdUrl="(.*?)";s1\.flvShdUrl="(.*?)";s1.*?mp4HdUrl="(.*?)";s1\.mp4SdUrl="(.*?)";s1.mp4ShdUrl="(.*?)";s1\.needKeyTimeValidate=false)re",
    std::regex::icase);

std::vector<std::pair<std::string, std::string>> lessonMatches(const std::string& reply) {
    std::vector<std::pair<std::string, std::string>> lessons;
    for (std::sregex_iterator it(reply.begin(), reply.end(), lessonPattern), end; it != end; ++it) {
        lessons.emplace_back((*it)[1].str(), (*it)[2].str());
    }
    return lessons;
}

// The reply with its \uXXXX escapes of ASCII characters undone, as the client's
// decoder would (others become "?").
std::string asciiDecoded(const std::string& reply) {
    std::string out;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (reply.compare(i, 2, "\\u") == 0 && i + 6 <= reply.size()) {
            const unsigned long unit = std::stoul(reply.substr(i + 2, 4), nullptr, 16);
            out += unit < 0x80 ? static_cast<char>(unit) : '?';
            i += 5;
        } else {
            out += reply[i];
        }
    }
    return out;
}

// What the client's decoder needs: plain ASCII, "\r\n" line ends only, and no
// backslash but those of \uXXXX escapes.
void expectDecodableScript(const std::string& reply) {
    EXPECT_EQ(reply.rfind("//#DWR-INSERT\r\n//#DWR-REPLY\r\n", 0), 0u);
    for (std::size_t i = 0; i < reply.size(); ++i) {
        const auto c = static_cast<unsigned char>(reply[i]);
        ASSERT_LT(c, 0x80) << "at " << i;
        if (c == '\n') {
            ASSERT_TRUE(i > 0 && reply[i - 1] == '\r') << "lone line feed at " << i;
        }
        if (c == '\r') {
            ASSERT_TRUE(i + 1 < reply.size() && reply[i + 1] == '\n') << "lone CR at " << i;
        }
    }
    EXPECT_FALSE(std::regex_search(reply, std::regex(R"(\\(?!u[0-9A-F]{4}))")));
}

class PlainCalls : public ::testing::Test {
protected:
    void startWith(SandboxOptions options) {
        options.port = 0;
        sandbox = std::make_unique<CourseSandbox>(options);
        ASSERT_TRUE(sandbox->start());
    }
    std::string post(const std::string& body, const std::string& path = endpoint) {
        httplib::Client cli("127.0.0.1", sandbox->port());
        const auto res =
            cli.Post(path, {{"User-Agent", userAgent}}, body, "application/x-www-form-urlencoded");
        EXPECT_TRUE(res);
        if (!res) {
            return {};
        }
        EXPECT_EQ(res->status, 200);
        return res->body;
    }

    std::unique_ptr<CourseSandbox> sandbox;
};

TEST_F(PlainCalls, CoursePlanHoldsEverySampleLessonOnceInOrder) {
    startWith({});
    const std::string reply = post(planBody("1455026"));
    expectDecodableScript(reply);
    const auto lessons = lessonMatches(reply);
    const auto& sample = CourseSandbox::sampleLessons();
    ASSERT_EQ(lessons.size(), sample.size());
    for (std::size_t k = 0; k < sample.size(); ++k) {
        EXPECT_EQ(lessons[k].first, sample[k].id);
    }
    // Non-ASCII names travel as \uXXXX escapes of their UTF-16 units; ASCII stays.
    EXPECT_EQ(sample[0].nameUtf8, "第一讲 课程介绍");
    EXPECT_EQ(lessons[0].second, R"(\u7B2C\u4E00\u8BB2 \u8BFE\u7A0B\u4ECB\u7ECD)");
    EXPECT_EQ(lessons[1].second, "Lesson 2 - Getting Started");
    EXPECT_EQ(lessons[3].second, R"(\u8BFE\u5802\u8BA8\u8BBA\uFF1A\u7B54\u7591)");
    EXPECT_FALSE(sample[3].hasVideo);
}

TEST_F(PlainCalls, VideoReplyPointsAtServedFilesOfEachQuality) {
    startWith({.videoSize = 4321});
    const std::string reply = post(videoBody("1002185003", "1455026"));
    expectDecodableScript(reply);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(reply, match, videoPattern));
    httplib::Client cli("127.0.0.1", sandbox->port());
    for (int quality = 1; quality <= 6; ++quality) {
        const std::string path = CourseSandbox::videoPath("1455026", "1002185003", quality);
        EXPECT_EQ(match[quality].str(), "http://" + sandbox->host() + path);
        const auto res = cli.Get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->body.size(), 4321u);
    }
}

TEST_F(PlainCalls, LessonWithoutVideoGetsAReplyWithoutAddresses) {
    startWith({});
    const std::string reply = post(videoBody("1002185004", "1455026"));
    expectDecodableScript(reply);
    EXPECT_NE(reply.find("_remoteHandleCallback"), std::string::npos);
    EXPECT_FALSE(std::regex_search(reply, videoPattern));
}

TEST_F(PlainCalls, BadCallsGetAnErrorReplyThatMatchesNeitherPattern) {
    startWith({.generatedLessons = 2});
    const std::string bodies[] = {
        planBody(""),
        planBody("9999999"),
        planBody("2000000x"),
        // Request text that would read as records once the reply is decoded.
        planBody("x\";s1.hasReferences=false;s1.id=1;s1.learnedIndex=null;s1.lessonName=\"x\";"
                 "s1.liveContent=null;"),
        videoBody("1\";flvHdUrl=\"a\";s1.flvSdUrl=\"a\";s1.flvShdUrl=\"a\";s1.mp4HdUrl=\"a\";"
                  "s1.mp4SdUrl=\"a\";s1.mp4ShdUrl=\"a\";s1.needKeyTimeValidate=false",
                  "1455026"),
        videoBody("1002185001", ""),
        videoBody("", "1455026"),
        videoBody("1002185001", "2000000"), // a lesson of the other course
        videoBody("3000003", "2000000"),    // past the generated lessons
        videoBody("03000001", "2000000"),
        "callCount=1&c0-scriptName=PlanNewBean&c0-methodName=deleteCourse&c0-param0=string:"
        "1455026",
        "callCount=1&c0-scriptName=Other&c0-methodName=getPlanCourseDetail&c0-param0=string:"
        "1455026",
        "",
        "\x01\x02&&==&c0-scriptName&=x",
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        const std::string reply = post(body);
        expectDecodableScript(reply);
        EXPECT_NE(reply.find("dwr.engine._remoteHandleException("), std::string::npos);
        const std::string decoded = asciiDecoded(reply);
        EXPECT_TRUE(lessonMatches(decoded).empty());
        EXPECT_FALSE(std::regex_search(decoded, videoPattern));
    }
}

TEST_F(PlainCalls, GeneratedCourseHasTheAskedNumberOfDistinctLessons) {
    startWith({.generatedLessons = 25});
    const std::string reply = post(planBody("2000000"));
    expectDecodableScript(reply);
    const auto lessons = lessonMatches(reply);
    ASSERT_EQ(lessons.size(), 25u);
    std::set<std::string> ids;
    std::set<std::string> names;
    for (const auto& [id, name] : lessons) {
        ids.insert(id);
        names.insert(name);
        EXPECT_NE(name.find("\\u"), std::string::npos) << name;    // Chinese
        EXPECT_NE(name.find("lesson"), std::string::npos) << name; // and ASCII
    }
    EXPECT_EQ(ids.size(), 25u);
    EXPECT_EQ(names.size(), 25u);
    for (const auto& [id, name] : {lessons.front(), lessons.back()}) {
        EXPECT_TRUE(std::regex_search(post(videoBody(id, "2000000")), videoPattern)) << id;
    }
}

TEST_F(PlainCalls, EveryCallIsRecordedAsReceived) {
    startWith({});
    post(planBody("1455026"));
    post(videoBody("1002185001", "1455026"),
         "/dwr/call/plaincall/LessonLearnBean.getVideoLearnInfo.dwr");
    const auto calls = sandbox->plainCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].method, "POST");
    EXPECT_EQ(calls[0].path, endpoint);
    EXPECT_EQ(calls[0].body, planBody("1455026"));
    EXPECT_EQ(calls[1].path, "/dwr/call/plaincall/LessonLearnBean.getVideoLearnInfo.dwr");
    EXPECT_EQ(calls[1].body, videoBody("1002185001", "1455026"));
    const auto header = [&](const std::string& name) {
        std::vector<std::string> values;
        for (const auto& [n, v] : calls[0].headers) {
            if (n == name) {
                values.push_back(v);
            }
        }
        return values;
    };
    EXPECT_EQ(header("User-Agent"), std::vector<std::string>{userAgent});
    EXPECT_EQ(header("Content-Type"),
              std::vector<std::string>{"application/x-www-form-urlencoded"});
    EXPECT_TRUE(header("REMOTE_ADDR").empty());
}

TEST_F(PlainCalls, LatencyDelaysEveryReply) {
    startWith({.latencyMs = 300});
    const auto start = std::chrono::steady_clock::now();
    post(planBody("1455026"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(PlainCalls, IntroductionPageNamesTheCourseAndUnknownOnesAre404) {
    startWith({});
    httplib::Client cli("127.0.0.1", sandbox->port());
    const auto page = cli.Get("/course/introduction/1455026.htm");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
    EXPECT_NE(page->body.find("第三讲 数据结构（上）"), std::string::npos);
    EXPECT_EQ(cli.Get("/course/introduction/2000000.htm")->status, 404); // not generated
    EXPECT_EQ(cli.Get("/course/introduction/abc.htm")->status, 404);
}

TEST(ScriptEscaped, EscapesAllButSafePrintableAscii) {
    const std::pair<std::string, std::string> cases[] = {
        {"Lesson 2 - A+B", "Lesson 2 - A+B"},
        {"课", R"(\u8BFE)"},
        {"a\"b'c\\d", R"(a\u0022b\u0027c\u005Cd)"},
        {"\r\n\t", R"(\u000D\u000A\u0009)"},
        {"\xF0\x9F\x98\x80", R"(\uD83D\uDE00)"}, // outside the BMP: a surrogate pair
        {"a\xFF"
         "b\xE8\xAF",
         R"(a\uFFFDb\uFFFD\uFFFD)"}, // broken UTF-8
        {"", ""},
    };
    for (const auto& [utf8, escaped] : cases) {
        EXPECT_EQ(scriptEscaped(utf8), escaped) << escaped;
    }
}

} // namespace
