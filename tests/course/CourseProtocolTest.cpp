#include "course/CourseProtocol.h"
#include "text/RegexObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CourseProtocol, EndpointIsBuiltFromTheWebHost) {
    EXPECT_EQ(plainCallEndpoint("127.0.0.1:8765"),
              "http://127.0.0.1:8765/dwr/call/plaincall/PlanNewBean.getPlanCourseDetail.dwr");
}

TEST(CourseProtocol, CoursePlanBodyJoinsThePiecesUnchanged) {
    const std::string head =
        "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
        "PlanNewBean&c0-methodName=getPlanCourseDetail&c0-id=0&c0-param0=string:";
    const std::string tail = "&c0-param1=number:0&c0-param2=null:null&batchId=1234567890123";
    EXPECT_EQ(coursePlanRequestBody("1455026"), head + "1455026" + tail);
    EXPECT_EQ(coursePlanRequestBody(""), head + tail);
    // No escaping: whatever the address held between the markers goes out as it is.
    EXPECT_EQ(coursePlanRequestBody("a b&c=%"), head + "a b&c=%" + tail);
}

TEST(CourseProtocol, VideoInfoBodyCarriesLessonThenCourse) {
    const std::string head =
        "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
        "LessonLearnBean&c0-methodName=getVideoLearnInfo&c0-id=0&c0-param0=string:";
    EXPECT_EQ(videoInfoRequestBody("123", "1455026"),
              head + "123&c0-param1=string:1455026&batchId=1234567890123");
    EXPECT_EQ(videoInfoRequestBody("", ""), head + "&c0-param1=string:&batchId=1234567890123");
}

TEST(CourseProtocol, CourseIdFromAddress) {
    struct Case {
        const char* address;
        const char* courseId;
    };
    const std::vector<Case> cases = {
        {"http://host/course/introduction/1455026.htm", "1455026"},
        {"http://host/course/introduction/1455026.htm?from=x", "1455026"},
        {"http://host/course/introduction/abc.html", "abc"},
        {"http://host/course/INTRODUCTION/1455026.htm", ""},
        {"http://host/course/introduction/1455026", ""},
        {"http://host/course/1455026.htm", ""},
        {"", ""},
        // The first marker wins, and the first ".htm" after it.
        {"introduction/1.htm/introduction/2.htm", "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(courseIdFromAddress(c.address), c.courseId) << c.address;
    }
}

TEST(CourseProtocol, QualityTable) {
    struct Case {
        int number;
        int group;
        const char* extension;
    };
    const std::vector<Case> cases = {{1, 1, ".flv"}, {2, 2, ".flv"}, {3, 3, ".flv"},
                                     {4, 4, ".mp4"}, {5, 5, ".mp4"}, {6, 6, ".mp4"},
                                     {0, 6, ".mp4"}, {7, 6, ".mp4"}};
    for (const Case& c : cases) {
        const VideoQuality quality = videoQuality(c.number);
        EXPECT_EQ(quality.group, c.group) << c.number;
        EXPECT_EQ(quality.extension, c.extension) << c.number;
    }
}

// A course plan record the way the service writes it: one lesson per line.
static std::string lessonLine(const std::string& id, const std::string& name) {
    return "s1.hasReferences=false;s1.id=" + id + ";s1.learnedIndex=null;s1.lessonName=\"" + name +
           "\";s1.lessonPermission=true;s1.liveContent=null;\r\n";
}

TEST(CourseProtocol, LessonPatternReadsIdAndNameInReplyOrder) {
    RegexObject regex;
    regex.execute(std::string(lessonPattern), "var s1={};\r\n" + lessonLine("11", "One") +
                                                  lessonLine("22", "Two") + lessonLine("33", "") +
                                                  "dwr.end();");
    ASSERT_EQ(regex.matchCount(), 3);
    EXPECT_EQ(regex.groupText(1, 1), "11");
    EXPECT_EQ(regex.groupText(1, 2), "One");
    EXPECT_EQ(regex.groupText(2, 1), "22");
    EXPECT_EQ(regex.groupText(2, 2), "Two");
    EXPECT_EQ(regex.groupText(3, 1), "33");
    EXPECT_EQ(regex.groupText(3, 2), "");
}

TEST(CourseProtocol, LessonPatternCases) {
    struct Case {
        const char* name;
        std::string reply;
        int matches;
        const char* firstId;
    };
    const std::vector<Case> cases = {
        {"letter case ignored",
         "S1.HASREFERENCES=false;s1.ID=5;s1.LEARNEDINDEX=NULL;s1.LESSONNAME=\"x\";"
         "s1.LIVECONTENT=NULL;",
         1, "5"},
        {"a field ending in Id= counts as the id",
         "s1.hasReferences=false;s1.courseId=77;s1.id=5;s1.learnedIndex=null;"
         "s1.lessonName=\"x\";s1.liveContent=null;",
         1, "77"},
        {"learnedIndex on the next line",
         "s1.hasReferences=false;s1.id=5;\ns1.learnedIndex=null;s1.lessonName=\"x\";"
         "s1.liveContent=null;",
         0, ""},
        {"liveContent not null",
         "s1.hasReferences=false;s1.id=5;s1.learnedIndex=null;s1.lessonName=\"x\";"
         "s1.liveContent=s9;",
         0, ""},
        {"id without digits", lessonLine("", "x"), 0, ""},
        {"empty reply", "", 0, ""},
    };
    for (const Case& c : cases) {
        RegexObject regex;
        regex.execute(std::string(lessonPattern), c.reply);
        EXPECT_EQ(regex.matchCount(), c.matches) << c.name;
        EXPECT_EQ(regex.groupText(1, 1), c.firstId) << c.name;
    }
}

// A video information record with the six addresses in the service's order.
static std::string videoReply(const std::string& validate = "false",
                              const std::string& flvHd = "flvHdUrl") {
    return "s1.duration=100;s1." + flvHd +
           "=\"http://v/1.flv\";s1.flvSdUrl=\"http://v/2.flv\";s1.flvShdUrl=\"http://v/3.flv\";"
           "s1.lessonId=9;s1.mp4HdUrl=\"http://v/4.mp4\";s1.mp4SdUrl=\"http://v/5.mp4\";"
           "s1.mp4ShdUrl=\"http://v/6.mp4\";s1.needKeyTimeValidate=" +
           validate + ";s1.videoId=3;";
}

TEST(CourseProtocol, VideoPatternGivesTheSixQualitiesInGroupOrder) {
    RegexObject regex;
    regex.execute(std::string(videoPattern), videoReply());
    ASSERT_EQ(regex.matchCount(), 1);
    const char* expected[] = {"http://v/1.flv", "http://v/2.flv", "http://v/3.flv",
                              "http://v/4.mp4", "http://v/5.mp4", "http://v/6.mp4"};
    for (int group = 1; group <= 6; ++group) {
        EXPECT_EQ(regex.groupText(1, group), expected[group - 1]) << group;
    }
}

TEST(CourseProtocol, VideoPatternCases) {
    struct Case {
        const char* name;
        std::string reply;
        int matches;
    };
    const std::vector<Case> cases = {
        {"field name in other letter case", videoReply("false", "FLVHDURL"), 1},
        {"key time validation required", videoReply("true"), 0},
        {"no video", "s1.lessonId=9;s1.videoId=null;", 0},
        {"fields split over lines",
         "s1.flvHdUrl=\"a\";s1.flvSdUrl=\"b\";\ns1.flvShdUrl=\"c\";s1.mp4HdUrl=\"d\";"
         "s1.mp4SdUrl=\"e\";s1.mp4ShdUrl=\"f\";s1.needKeyTimeValidate=false",
         0},
    };
    for (const Case& c : cases) {
        RegexObject regex;
        regex.execute(std::string(videoPattern), c.reply);
        EXPECT_EQ(regex.matchCount(), c.matches) << c.name;
    }
}
