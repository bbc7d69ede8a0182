// The two course patterns run over arbitrary subjects: no crash, no hang, and every
// reported position points at the text reported with it.
#include "course/CourseProtocol.h"
#include "text/RegexObject.h"

#include <cstdlib>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// The text stands at `position` in the subject (ASCII letter case aside).
void requireAt(std::string_view subject, int position, const std::string& text) {
    if (position < 0 || static_cast<std::size_t>(position) + text.size() > subject.size())
        std::abort();
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (lower(subject[static_cast<std::size_t>(position) + k]) != lower(text[k]))
            std::abort();
    }
}

void checkRun(RegexObject& regex, std::string_view pattern, std::string_view subject) {
    if (!regex.execute(pattern, subject))
        std::abort();
    for (int m = 1; m <= regex.matchCount(); ++m) {
        int position = -1;
        const std::string match = regex.matchText(m, &position);
        requireAt(subject, position, match);
        const int matchPosition = position;
        for (int g = 1; g <= regex.groupCount(); ++g) {
            const std::string group = regex.groupText(m, g, &position);
            requireAt(subject, position, group);
            if (!group.empty() && position < matchPosition)
                std::abort();
        }
    }
    if (regex.replace("[$1|$2]").empty() && !subject.empty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view subject(reinterpret_cast<const char*>(data), size);
    RegexObject regex;
    checkRun(regex, lessonPattern, subject);
    checkRun(regex, videoPattern, subject);
    return 0;
}
