#include "text/RegexObject.h"
#include "course/CourseProtocol.h"
#include "text/Codepage.h"
#include "text/Decode.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(RegexObject, OptionsAndCounts) {
    const struct {
        const char* pattern;
        const char* subject;
        bool matchCase, multiline, global;
        int count;
    } cases[] = {
        {"abc", "ABC", false, true, true, 1},
        {"abc", "ABC", true, true, true, 0},
        {"a(\\d)", "a1a2a3", false, true, true, 3},
        {"a(\\d)", "a1a2a3", false, true, false, 1},
        {"^b", "a\nb", false, true, true, 1},
        {"^b", "a\nb", false, false, true, 0},
        {"a$", "a\n", false, false, true, 0},
        {"a.b", "a\nb", false, true, true, 0},
        {"a.b", "a\rb", false, true, true, 1},
        {"x*", "axx", false, true, true, 3}, // "", "xx", "" as the script languages give
        {"", "ab", false, true, true, 3},
    };
    RegexObject regex;
    for (const auto& c : cases) {
        EXPECT_TRUE(regex.execute(c.pattern, c.subject, c.matchCase, c.multiline, c.global));
        EXPECT_EQ(regex.matchCount(), c.count) << c.pattern << " on " << c.subject;
    }
}

TEST(RegexObject, GroupsAndOutOfRangeIndexes) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a(b)?c", "ac"));
    EXPECT_EQ(regex.matchCount(), 1);
    EXPECT_EQ(regex.groupCount(), 1);
    EXPECT_EQ(regex.matchText(1), "ac");
    EXPECT_EQ(regex.groupText(1, 1), "");

    ASSERT_TRUE(regex.execute("a(\\d)(x)?", "a1a2a3"));
    EXPECT_EQ(regex.groupText(3, 1), "3");
    EXPECT_EQ(regex.groupCount(), 2);
    for (const auto& [match, group] :
         {std::pair{0, 1}, std::pair{4, 1}, std::pair{1, 3}, std::pair{1, 0}, std::pair{-1, 1}})
        EXPECT_EQ(regex.groupText(match, group), "") << match << "," << group;
    EXPECT_EQ(regex.matchText(0), "");
    EXPECT_EQ(regex.matchText(4), "");

    ASSERT_TRUE(regex.execute("z", "abc"));
    EXPECT_EQ(regex.matchCount(), 0);
    EXPECT_EQ(regex.groupCount(), 0);
}

TEST(RegexObject, InvalidPatternAndSecondRun) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(b)", "abc"));
    EXPECT_FALSE(regex.execute("a(b", "abc"));
    EXPECT_EQ(regex.matchCount(), 0);
    EXPECT_EQ(regex.groupCount(), 0);
    EXPECT_EQ(regex.patternText(), "");
    EXPECT_EQ(regex.replace("x"), "");
    EXPECT_EQ(regex.groupText(1, 1), "");

    ASSERT_TRUE(regex.execute("(\\d)", "1 2"));
    ASSERT_TRUE(regex.execute("(\\d)", "7"));
    EXPECT_EQ(regex.matchCount(), 1);
    EXPECT_EQ(regex.groupText(1, 1), "7");
    EXPECT_EQ(regex.replace("<$1>"), "<7>");
}

TEST(RegexObject, QuotePlaceholderOnlyOnRequest) {
    const std::string pattern = utf8ToCp936("name=#引号(.*?)#引号");
    const std::string subject = "name=\"v\"";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(pattern, subject, false, true, true, true));
    EXPECT_EQ(regex.patternText(), "name=\"(.*?)\"");
    EXPECT_EQ(regex.groupText(1, 1), "v");
    ASSERT_TRUE(regex.execute(pattern, subject));
    EXPECT_EQ(regex.patternText(), pattern);
    EXPECT_EQ(regex.matchCount(), 0);
    ASSERT_TRUE(regex.execute(pattern, utf8ToCp936("name=#引号v#引号")));
    EXPECT_EQ(regex.groupText(1, 1), "v");
}

TEST(RegexObject, PositionsAreByteOffsetsInTheSubject) {
    const std::string two = utf8ToCp936("解析"); // two two-byte characters
    RegexObject regex;
    int position = -9;

    ASSERT_TRUE(regex.execute("k=(\\d+)", two + "ab k=12"));
    EXPECT_EQ(regex.matchText(1, &position), "k=12");
    EXPECT_EQ(position, 4 + 3);
    EXPECT_EQ(regex.groupText(1, 1, &position), "12");
    EXPECT_EQ(position, 9);

    // a group's position is the first occurrence of its text from the match's start
    ASSERT_TRUE(regex.execute("a.(a)", two + "aba"));
    EXPECT_EQ(regex.groupText(1, 1, &position), "a");
    EXPECT_EQ(position, 4);

    // letter case ignored in that search exactly when the run ignored it
    ASSERT_TRUE(regex.execute("A.(a)", "Aba"));
    regex.groupText(1, 1, &position);
    EXPECT_EQ(position, 0);
    ASSERT_TRUE(regex.execute("A.(a)", "Aba", true));
    regex.groupText(1, 1, &position);
    EXPECT_EQ(position, 2);

    // texts and offsets stay exact around bytes that are not valid code page 936
    const std::string broken = "\xFF\x81\"" + two + "\xB0";
    ASSERT_TRUE(regex.execute("\"(.+)", broken + "x\"y"));
    EXPECT_EQ(regex.groupText(1, 1, &position), two + "\xB0x\"y");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(regex.replace("[$1]"), "\xFF\x81[" + two + "\xB0x\"y]");

    // indexes that do not exist give the empty text at 0
    regex.groupText(2, 1, &position);
    EXPECT_EQ(position, 0);
    regex.matchText(5, &position);
    EXPECT_EQ(position, 0);
    ASSERT_TRUE(regex.execute("x*", "abx"));
    // an empty match has its own exact offset too
    EXPECT_EQ(regex.matchText(2, &position), "");
    EXPECT_EQ(position, 1);
    EXPECT_EQ(regex.matchText(3, &position), "x");
    EXPECT_EQ(position, 2);
}

TEST(RegexObject, TwoByteCharactersMatchAsCharacters) {
    const std::string subject = utf8ToCp936("第1课：开始");
    RegexObject regex;
    ASSERT_TRUE(regex.execute(utf8ToCp936("第(\\d)课：(.)"), subject));
    EXPECT_EQ(regex.groupText(1, 1), "1");
    EXPECT_EQ(regex.groupText(1, 2), utf8ToCp936("开"));
}

TEST(RegexObject, ReplaceExpandsReferences) {
    const struct {
        const char* pattern;
        const char* subject;
        bool global;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"a(\\d)", "a1-a2", true, "<$1>", "<1>-<2>"},
        {"a(\\d)", "a1-a2", false, "<$1>", "<1>-a2"},
        {"a(\\d)", "a1-a2", true, "$&$&", "a1a1-a2a2"},
        {"a(\\d)", "a1", true, "$$1 $2 $", "$1 $2 $"},
        {"a(b)?c", "ac", true, "[$1]", "[]"},
        {"a(\\d)", "a1-a2", true, "", "-"},
        {"z", "abc", true, "x", "abc"},
    };
    RegexObject regex;
    for (const auto& c : cases) {
        ASSERT_TRUE(regex.execute(c.pattern, c.subject, false, true, c.global));
        EXPECT_EQ(regex.replace(c.replacement), c.expected) << c.pattern << " " << c.replacement;
    }
    EXPECT_EQ(RegexObject().replace("x"), "");
    EXPECT_EQ(RegexObject().patternText(), "");
}

TEST(RegexObject, CopiesAreIndependent) {
    RegexObject first;
    ASSERT_TRUE(first.execute("(\\d)", "1 2"));
    RegexObject second(first);
    ASSERT_TRUE(first.execute("(\\d)", "9"));
    EXPECT_EQ(second.matchCount(), 2);
    EXPECT_EQ(second.groupText(2, 1), "2");
    second = first;
    EXPECT_EQ(second.groupText(1, 1), "9");
}

TEST(RegexObjectCoursePatterns, LessonPattern) {
    const std::string line =
        "s0.hasReferences=false;s0.id=101;s0.learnedIndex=null;s0.lessonName=\"" +
        utf8ToCp936("第一课") +
        "\";s0.liveContent=null;\n"
        "s1.HASREFERENCES=false;s1.lessonId=202;s1.learnedIndex=null;s1.lessonName=\"two\";"
        "s1.liveContent=null;\n"
        "s2.hasReferences=false;s2.id=303;s2.lessonName=\"none\";s2.liveContent=null;\n"
        "s3.hasReferences=false;s3.id=404;s3.learnedIndex=null;s3.lessonName=\"split\";\n"
        "s3.liveContent=null;\n";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(lessonPattern, line));
    ASSERT_EQ(regex.matchCount(), 2);
    EXPECT_EQ(regex.groupText(1, 1), "101");
    EXPECT_EQ(regex.groupText(1, 2), utf8ToCp936("第一课"));
    EXPECT_EQ(regex.groupText(2, 1), "202");
    EXPECT_EQ(regex.groupText(2, 2), "two");
}

TEST(RegexObjectCoursePatterns, VideoPattern) {
    auto reply = [](const std::string& flv, const std::string& tail) {
        return "s1." + flv +
               "=\"http://v/1.flv\";s1.flvSdUrl=\"http://v/2.flv\";s1.flvShdUrl=\"\";s1.x=1;"
               "s1.mp4HdUrl=\"http://v/4.mp4\";s1.mp4SdUrl=\"http://v/5.mp4\";"
               "s1.mp4ShdUrl=\"http://v/6.mp4\";s1.needKeyTimeValidate=" +
               tail + ";";
    };
    RegexObject regex;
    ASSERT_TRUE(regex.execute(videoPattern, reply("FLVHDURL", "false")));
    ASSERT_EQ(regex.matchCount(), 1);
    EXPECT_EQ(regex.groupCount(), 6);
    EXPECT_EQ(regex.groupText(1, 1), "http://v/1.flv");
    EXPECT_EQ(regex.groupText(1, 3), "");
    EXPECT_EQ(regex.groupText(1, 6), "http://v/6.mp4");
    ASSERT_TRUE(regex.execute(videoPattern, reply("flvHdUrl", "true")));
    EXPECT_EQ(regex.matchCount(), 0);
    EXPECT_EQ(regex.groupText(1, 4), "");
}

TEST(RegexObjectCoursePatterns, PathologicalSubjectEndsWithoutHanging) {
    // Many partial lessons on one line and no "liveContent=null": every start position
    // has a huge number of ways to fail.
    std::string line;
    for (int i = 0; i < 400; ++i)
        line += "hasReferences id=1; learnedIndex=null lessonName=\"a\"; ";
    RegexObject regex;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(regex.execute(lessonPattern, line));
    EXPECT_EQ(regex.matchCount(), 0);
    // Generous: a run without limits would take hours.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

} // namespace

namespace {

TEST(RegexObjectCoursePatterns, DecodedCoursePlanReplyGivesEveryLesson) {
    const std::string reply =
        "//#DWR-INSERT\r\n//#DWR-REPLY\r\nvar s0=[];\r\n"
        "var s1={};var s2=[];s0[0]=s1;\r\n"
        "s1.courseId=7;s1.id=7100;s1.lessons=s2;s1.name=\"\\u7B2C1\\u7AE0\";\r\n"
        "var s3={};s2[0]=s3;s3.hasReferences=false;s3.id=11;s3.learnedIndex=null;"
        "s3.lessonName=\"\\u5F00\\u59CB it's\";s3.liveContent=null;\r\n"
        "var s4={};s2[1]=s4;s4.hasReferences=false;s4.id=12;s4.learnedIndex=null;"
        "s4.lessonName=\"50%\\/100%u0025\";s4.liveContent=null;\r\n"
        "dwr.engine._remoteHandleCallback('1','0',s0);\r\n";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(lessonPattern, decodeCourseReply(reply)));
    ASSERT_EQ(regex.matchCount(), 2);
    EXPECT_EQ(regex.groupText(1, 1), "11");
    EXPECT_EQ(regex.groupText(1, 2), utf8ToCp936("开始 it's"));
    EXPECT_EQ(regex.groupText(2, 1), "12");
    EXPECT_EQ(regex.groupText(2, 2), "50%/100%");
}

} // namespace
