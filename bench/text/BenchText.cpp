// Throughput of the reply decoders and of the course patterns over synthetic course plan
// and video information replies with 1,000, 10,000 and 100,000 lessons. The complexity
// line of each benchmark shows whether the cost grows linearly with the reply.
#include "course/CourseProtocol.h"
#include "text/Decode.h"
#include "text/RegexObject.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string header = "//#DWR-INSERT\r\n//#DWR-REPLY\r\n";
const std::string footer = "dwr.engine._remoteHandleCallback('1234567890123','0',s0);\r\n";

// One lesson record a line, the name escaped as the service escapes it.
std::string lessonRecord(std::size_t k) {
    const std::string s = "s" + std::to_string(k + 2);
    const std::string id = std::to_string(1000000 + k);
    return "var " + s + "={};s1[" + std::to_string(k) + "]=" + s + ";" + s +
           ".anchorQuestions=null;" + s + ".chapterId=1455026100;" + s + ".contentId=" + id + ";" +
           s + ".contentType=1;" + s + ".courseId=1455026;" + s + ".hasReferences=false;" + s +
           ".id=" + id + ";" + s + ".isTestChecked=false;" + s + ".learnedIndex=null;" + s +
           ".lessonName=\"\\u7B2C" + std::to_string(k) + "\\u8BFE \\u5165\\u95E8's\";" + s +
           ".liveContent=null;" + s + ".position=" + std::to_string(k) + ";" + s +
           ".termId=null;\r\n";
}

std::string coursePlanReply(std::size_t lessons) {
    std::string reply = header + "var s0=[];var s1=[];\r\n";
    for (std::size_t k = 0; k < lessons; ++k)
        reply += lessonRecord(k);
    return reply + footer;
}

// A video information reply on one line, with `lessons` lesson-sized records between the
// flv and the mp4 addresses, so that the pattern's ".*?" has that much to cross.
std::string videoReply(std::size_t lessons) {
    const std::string url = "http:\\/\\/v.example\\/course\\/1455026\\/";
    std::string reply = header + "var s0={};var s1={};s1.duration=1800;s1.flvHdUrl=\"" + url +
                        "1.flv\";s1.flvSdUrl=\"" + url + "2.flv\";s1.flvShdUrl=\"" + url +
                        "3.flv\";s1.isEncrypt=false;";
    for (std::size_t k = 0; k < lessons; ++k) {
        std::string record = lessonRecord(k);
        record.resize(record.size() - 2); // the same line throughout
        reply += record;
    }
    reply += "s1.mp4HdUrl=\"" + url + "4.mp4\";s1.mp4SdUrl=\"" + url + "5.mp4\";s1.mp4ShdUrl=\"" +
             url + "6.mp4\";s1.needKeyTimeValidate=false;s1.videoImgUrl=null;\r\n";
    return reply + footer;
}

void finish(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.SetComplexityN(state.range(0));
}

void decodeCoursePlan(benchmark::State& state) {
    const std::string reply = coursePlanReply(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeCourseReply(reply));
    finish(state, reply.size());
}

void matchCoursePlan(benchmark::State& state) {
    const std::size_t lessons = static_cast<std::size_t>(state.range(0));
    const std::string decoded = decodeCourseReply(coursePlanReply(lessons));
    RegexObject regex;
    for (auto _ : state) {
        regex.execute(lessonPattern, decoded);
        if (static_cast<std::size_t>(regex.matchCount()) != lessons)
            state.SkipWithError("lesson count");
        for (int i = 1; i <= regex.matchCount(); ++i) {
            benchmark::DoNotOptimize(regex.groupText(i, 2));
            benchmark::DoNotOptimize(regex.groupText(i, 1));
        }
    }
    finish(state, decoded.size());
}

void decodeAndMatchVideo(benchmark::State& state) {
    const std::string reply = videoReply(static_cast<std::size_t>(state.range(0)));
    RegexObject regex;
    for (auto _ : state) {
        regex.execute(videoPattern, decodeVideoReply(reply));
        if (regex.groupText(1, 4).empty())
            state.SkipWithError("no address");
    }
    finish(state, reply.size());
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
}

} // namespace

BENCHMARK(decodeCoursePlan)->Apply(sizes);
BENCHMARK(matchCoursePlan)->Apply(sizes);
BENCHMARK(decodeAndMatchVideo)->Apply(sizes);

BENCHMARK_MAIN();
