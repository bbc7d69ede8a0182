#pragma once
// What goes over the wire to the course service, and what is read back. Both calls are
// POSTs of a form body to one plain-call endpoint; the replies are script text that is
// decoded and then matched with the two patterns below (letter case ignored, "." not
// matching a line feed, every match collected).

#include <string>
#include <string_view>

// The path of the plain-call endpoint; the video information call goes there too, the
// bean and method it calls are named in its body.
inline constexpr std::string_view plainCallPath =
    "/dwr/call/plaincall/PlanNewBean.getPlanCourseDetail.dwr";

// "http://" + webHost + plainCallPath.
std::string plainCallEndpoint(std::string_view webHost);

// The course id of a course introduction address: the text between the first
// "introduction/" (exact letter case) and the first ".htm" after it; empty when either
// is missing. Nothing else is checked.
std::string courseIdFromAddress(std::string_view address);

// The request bodies: the pieces joined as they stand, no escaping, an empty id leaving
// its place empty. "${scriptSessionId}190" goes out literally.
std::string coursePlanRequestBody(std::string_view courseId);
std::string videoInfoRequestBody(std::string_view lessonId, std::string_view courseId);

// The one extra header line of the course plan request; the video information request
// sends none (the web routine adds its default lines to both).
inline constexpr std::string_view coursePlanHeaders =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";

// Group 1: lesson id, group 2: lesson name. One match per lesson, in reply order.
// clang-format off
inline constexpr std::string_view lessonPattern =
    "hasReferences.*?id=(\\d+);.*?learnedIndex=null.*?lessonName=\"(.*?)\";.*?liveContent=null";

// Groups 1-6: flvHdUrl, flvSdUrl, flvShdUrl, mp4HdUrl, mp4SdUrl, mp4ShdUrl. Only the first
// match counts. The dot before mp4ShdUrl is left unescaped on purpose: the service's
// replies have been matched that way all along.
inline constexpr std::string_view videoPattern =
    "flvHdUrl=\"(.*?)\";s1\\.flvSdUrl=\"(.*?)\";s1\\.flvShdUrl=\"(.*?)\";s1.*?"
    "mp4HdUrl=\"(.*?)\";s1\\.mp4SdUrl=\"(.*?)\";s1.mp4ShdUrl=\"(.*?)\";"
    "s1\\.needKeyTimeValidate=false";
// clang-format on

// The quality chosen with the radio buttons 1-6: the group of videoPattern to take and
// the file extension of every download of that run.
struct VideoQuality {
    int group;                  // 1..6
    std::string_view extension; // ".flv" for 1-3, ".mp4" for 4-6
};

// The table entry of a quality number; a number outside 1..6 counts as 6, as when no
// radio button is checked.
VideoQuality videoQuality(int qualityNumber);
