#include "sandbox/PlainCallReplies.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view replyHeader = "//#DWR-INSERT\r\n//#DWR-REPLY\r\n";

// Decodes one UTF-8 sequence at `i`; an invalid byte gives U+FFFD and moves on by one.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp > 0x10FFFF ? 0xFFFD : cp;
}

void appendUnitEscape(std::string& out, unsigned unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", unit & 0xFFFF);
    out += escape;
}

std::string_view withoutTypePrefix(std::string_view value) {
    for (std::string_view prefix : {"string:", "number:"}) {
        if (value.substr(0, prefix.size()) == prefix) {
            return value.substr(prefix.size());
        }
    }
    return value;
}

// The batch id echoed in the reply's callback line: digits only, so nothing of the
// request can end up as script.
std::string echoedBatchId(const PlainCall& call) {
    if (call.batchId.empty() || call.batchId.size() > 20 ||
        call.batchId.find_first_not_of("0123456789") != std::string::npos) {
        return "0";
    }
    return call.batchId;
}

std::string callbackLine(const PlainCall& call, std::string_view result) {
    return "dwr.engine._remoteHandleCallback('" + echoedBatchId(call) + "','0'," +
           std::string(result) + ");\r\n";
}

std::string objectName(std::size_t number) {
    return "s" + std::to_string(number);
}

std::string videoAddress(std::string_view host, std::string_view courseId,
                         const SampleLesson& lesson, int quality) {
    return "\"http://" + std::string(host) +
           CourseSandbox::videoPath(courseId, lesson.id, quality) + "\"";
}

} // namespace

PlainCall parsePlainCallBody(std::string_view body) {
    PlainCall call;
    while (!body.empty()) {
        const std::size_t end = body.find_first_of("&\r\n");
        const std::string_view field = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view name = field.substr(0, equals);
        const std::string_view value = field.substr(equals + 1);
        if (name == "c0-scriptName") {
            call.scriptName = value;
        } else if (name == "c0-methodName") {
            call.methodName = value;
        } else if (name == "c0-param0") {
            call.param0 = withoutTypePrefix(value);
        } else if (name == "c0-param1") {
            call.param1 = withoutTypePrefix(value);
        } else if (name == "batchId") {
            call.batchId = value;
        }
    }
    return call;
}

std::string scriptEscaped(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x20 && cp < 0x7F && cp != '"' && cp != '\'' && cp != '\\') {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            appendUnitEscape(out, static_cast<unsigned>(cp));
        } else {
            const char32_t v = cp - 0x10000;
            appendUnitEscape(out, 0xD800 + static_cast<unsigned>(v >> 10));
            appendUnitEscape(out, 0xDC00 + static_cast<unsigned>(v & 0x3FF));
        }
    }
    return out;
}

// The plan is a list of chapters of up to ten lessons each: s0 is the chapter array,
// each chapter is followed by its lesson array and lesson records, one record a line.
// Fields stand in alphabetical order, as the platform writes them.
std::string coursePlanReply(const PlainCall& call, std::string_view courseId,
                            const std::vector<SampleLesson>& lessons) {
    constexpr std::size_t lessonsPerChapter = 10;
    const std::string course(courseId);
    std::string reply(replyHeader);
    reply += "var s0=[];";
    reply += lineEnd;
    std::size_t next = 1;
    std::size_t chapterIndex = 0;
    for (std::size_t start = 0; start < lessons.size(); start += lessonsPerChapter) {
        const std::string chapter = objectName(next++);
        const std::string lessonArray = objectName(next++);
        const std::string chapterId = course + std::to_string(100 + chapterIndex);
        reply += "var " + chapter + "={};var " + lessonArray + "=[];s0[" +
                 std::to_string(chapterIndex) + "]=" + chapter + ";\r\n";
        reply += chapter + ".contentId=null;" + chapter + ".courseId=" + course + ";" + chapter +
                 ".id=" + chapterId + ";" + chapter + ".lessons=" + lessonArray + ";" + chapter +
                 ".name=\"" + scriptEscaped("第" + std::to_string(chapterIndex + 1) + "章") +
                 "\";" + chapter + ".position=" + std::to_string(chapterIndex) + ";\r\n";
        const std::size_t end = std::min(lessons.size(), start + lessonsPerChapter);
        for (std::size_t k = start; k < end; ++k) {
            const SampleLesson& lesson = lessons[k];
            const std::string s = objectName(next++);
            reply += "var " + s + "={};" + lessonArray + "[" + std::to_string(k - start) +
                     "]=" + s + ";" + s + ".anchorQuestions=null;" + s + ".chapterId=" + chapterId +
                     ";" + s + ".contentId=" +
                     (lesson.hasVideo ? std::to_string(k + 880001) : std::string("null")) + ";" +
                     s + ".contentType=" + (lesson.hasVideo ? "1" : "6") + ";" + s +
                     ".courseId=" + course + ";" + s + ".hasReferences=false;" + s +
                     ".id=" + lesson.id + ";" + s + ".isTestChecked=false;" + s +
                     ".learnedIndex=null;" + s + ".lessonName=\"" + scriptEscaped(lesson.nameUtf8) +
                     "\";" + s + ".liveContent=null;" + s + ".position=" + std::to_string(k) + ";" +
                     s + ".termId=null;\r\n";
        }
        ++chapterIndex;
    }
    reply += callbackLine(call, "s0");
    return reply;
}

std::string videoInfoReply(const PlainCall& call, std::string_view host, std::string_view courseId,
                           const SampleLesson& lesson) {
    const auto address = [&](int quality) {
        return lesson.hasVideo ? videoAddress(host, courseId, lesson, quality)
                               : std::string("null");
    };
    std::string reply(replyHeader);
    reply += "var s0={};var s1={};s0.courseId=" + std::string(courseId) +
             ";s0.lessonId=" + lesson.id + ";s0.videoLearnDto=s1;\r\n";
    reply += "s1.duration=" + std::string(lesson.hasVideo ? "1800" : "null") +
             ";s1.flvHdUrl=" + address(1) + ";s1.flvSdUrl=" + address(2) +
             ";s1.flvShdUrl=" + address(3) + ";s1.isEncrypt=false;s1.lessonId=" + lesson.id +
             ";s1.mp4HdUrl=" + address(4) + ";s1.mp4SdUrl=" + address(5) +
             ";s1.mp4ShdUrl=" + address(6) +
             ";s1.needKeyTimeValidate=false;s1.videoImgUrl=null;\r\n";
    reply += callbackLine(call, "s0");
    return reply;
}

std::string plainCallErrorReply(const PlainCall& call, std::string_view message) {
    std::string reply(replyHeader);
    reply += "dwr.engine._remoteHandleException('" + echoedBatchId(call) +
             "','0',{javaClassName:\"java.lang.Throwable\",message:\"" + scriptEscaped(message) +
             "\"});\r\n";
    return reply;
}
