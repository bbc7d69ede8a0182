#pragma once
// The plain-call service's side of the wire: reading a call's body and writing the
// replies as the platform does, as script text. Replies are plain ASCII: every text
// that is not plain printable ASCII goes out as \uXXXX escapes of its UTF-16 units, and
// every line ends in "\r\n".

#include "sandbox/CourseSandbox.h"

#include <string>
#include <string_view>
#include <vector>

// The fields of one plain call that the sandbox answers by.
struct PlainCall {
    std::string scriptName;
    std::string methodName;
    std::string param0; // the value after its type prefix ("string:", "number:")
    std::string param1;
    std::string batchId;
};

// Fields are separated by "&" or line ends (both forms are in use); unknown fields are
// ignored and a missing one stays empty.
PlainCall parsePlainCallBody(std::string_view body);

// A UTF-8 text as the body of a double-quoted script string: printable ASCII stays,
// except the quote characters and the backslash, which are escaped like the rest.
std::string scriptEscaped(std::string_view utf8);

std::string coursePlanReply(const PlainCall& call, std::string_view courseId,
                            const std::vector<SampleLesson>& lessons);
// `host` is "127.0.0.1:<port>", where the video files are served. A lesson without
// video gets null address fields.
std::string videoInfoReply(const PlainCall& call, std::string_view host, std::string_view courseId,
                           const SampleLesson& lesson);
std::string plainCallErrorReply(const PlainCall& call, std::string_view message);
