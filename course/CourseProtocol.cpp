#include "course/CourseProtocol.h"

#include "text/Text.h"

std::string plainCallEndpoint(std::string_view webHost) {
    std::string endpoint = "http://";
    endpoint += webHost;
    endpoint += plainCallPath;
    return endpoint;
}

std::string courseIdFromAddress(std::string_view address) {
    return textBetween(address, "introduction/", ".htm");
}

std::string coursePlanRequestBody(std::string_view courseId) {
    std::string body =
        "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
        "PlanNewBean&c0-methodName=getPlanCourseDetail&c0-id=0&c0-param0=string:";
    body += courseId;
    body += "&c0-param1=number:0&c0-param2=null:null&batchId=1234567890123";
    return body;
}

std::string videoInfoRequestBody(std::string_view lessonId, std::string_view courseId) {
    std::string body =
        "callCount=1&scriptSessionId=${scriptSessionId}190&httpSessionId=&c0-scriptName="
        "LessonLearnBean&c0-methodName=getVideoLearnInfo&c0-id=0&c0-param0=string:";
    body += lessonId;
    body += "&c0-param1=string:";
    body += courseId;
    body += "&batchId=1234567890123";
    return body;
}

VideoQuality videoQuality(int qualityNumber) {
    if (qualityNumber >= 1 && qualityNumber <= 3) {
        return {qualityNumber, ".flv"};
    }
    if (qualityNumber == 4 || qualityNumber == 5) {
        return {qualityNumber, ".mp4"};
    }
    return {6, ".mp4"};
}
