#define PCRE2_CODE_UNIT_WIDTH 16
#include "text/RegexObject.h"

#include "text/Codepage.h"
#include "text/CodepageMapped.h"
#include "text/Text.h"

#include <pcre2.h>

#include <algorithm>
#include <cstdint>

namespace {

// Bounds on the work of one search, so that a pathological subject ends as "no match" in
// bounded time instead of hanging the worker that runs it. A lazy ".*?" costs about one
// step per character it crosses, so the bound grows with the subject: a long but honest
// reply is searched to its end, and a pathological one stops in time proportional to its
// length.
constexpr std::uint32_t minimumMatchLimit = 10'000'000;
constexpr std::uint32_t matchStepsPerUnit = 16;
constexpr std::uint32_t depthLimit = 100'000;
constexpr std::size_t jitStackStart = 32 * 1024;
constexpr std::size_t jitStackMax = 4 * 1024 * 1024;

constexpr std::size_t unset = PCRE2_UNSET;

std::uint32_t matchLimitFor(std::size_t subjectLength) {
    const std::uint64_t limit = std::max<std::uint64_t>(
        minimumMatchLimit, std::uint64_t{matchStepsPerUnit} * subjectLength);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(limit, UINT32_MAX));
}

PCRE2_SPTR16 units(const std::u16string& text) {
    return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

struct CodeDeleter {
    void operator()(pcre2_code_16* code) const { pcre2_code_free_16(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data_16* data) const { pcre2_match_data_free_16(data); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context_16* context) const { pcre2_match_context_free_16(context); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context_16* context) const {
        pcre2_compile_context_free_16(context);
    }
};
struct JitStackDeleter {
    void operator()(pcre2_jit_stack_16* stack) const { pcre2_jit_stack_free_16(stack); }
};

std::uint32_t compileOptions(bool ignoreCase, bool multiline) {
    // "$" without Multiline matches only at the very end, as in the script languages.
    std::uint32_t options = PCRE2_UTF | PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase)
        options |= PCRE2_CASELESS;
    if (multiline)
        options |= PCRE2_MULTILINE;
    return options;
}

std::shared_ptr<pcre2_code_16> compilePattern(const std::u16string& pattern,
                                              std::uint32_t options) {
    std::unique_ptr<pcre2_compile_context_16, CompileContextDeleter> context(
        pcre2_compile_context_create_16(nullptr));
    if (!context)
        return nullptr;
    // A line feed is the only line break: "." matches everything else, "\r" included.
    pcre2_set_newline_16(context.get(), PCRE2_NEWLINE_LF);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code_16* code = pcre2_compile_16(units(pattern), pattern.size(), options, &errorCode,
                                           &errorOffset, context.get());
    if (!code)
        return nullptr;
    // Without the JIT (an unsupported machine) the interpreter runs the same pattern.
    pcre2_jit_compile_16(code, PCRE2_JIT_COMPLETE);
    return std::shared_ptr<pcre2_code_16>(code, CodeDeleter());
}

bool asciiEqualIgnoringCase(char16_t a, char16_t b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    return lower(a) == lower(b);
}

} // namespace

struct RegexObject::State {
    // Compiled code of the last pattern, kept for the next run with the same pattern
    // and options (worker two runs one pattern over every row); shared by copies.
    std::shared_ptr<pcre2_code_16> code;
    std::u16string codePattern;
    std::uint32_t codeOptions = 0;

    bool compiled = false; // the last execute had a pattern that compiled
    std::string pattern;
    bool ignoreCase = true;
    std::string subject;
    std::u16string subjectUnits;
    std::vector<std::size_t> byteOffsets; // per unit of subjectUnits, then the end
    int groups = 0;
    // For each match, the unit offsets (start, end) of the whole match and each group;
    // `unset` for a group that took no part.
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> matches;

    void clearResults() {
        compiled = false;
        pattern.clear();
        subject.clear();
        subjectUnits.clear();
        byteOffsets.clear();
        groups = 0;
        matches.clear();
    }

    const std::pair<std::size_t, std::size_t>* span(int matchIndex, int groupIndex) const {
        if (matchIndex < 1 || static_cast<std::size_t>(matchIndex) > matches.size() ||
            groupIndex < 0 || groupIndex > groups)
            return nullptr;
        const auto& found =
            matches[static_cast<std::size_t>(matchIndex) - 1][static_cast<std::size_t>(groupIndex)];
        return found.first == unset ? nullptr : &found;
    }

    std::string_view bytesOf(const std::pair<std::size_t, std::size_t>& unitSpan) const {
        const std::size_t begin = byteOffsets[unitSpan.first];
        const std::size_t end = byteOffsets[unitSpan.second];
        return std::string_view(subject).substr(begin, end - begin);
    }

    bool runAll(bool global);
    std::size_t firstOccurrence(std::size_t fromUnit,
                                const std::pair<std::size_t, std::size_t>& unitSpan) const;
};

bool RegexObject::State::runAll(bool global) {
    std::unique_ptr<pcre2_match_data_16, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern_16(code.get(), nullptr));
    std::unique_ptr<pcre2_match_context_16, MatchContextDeleter> context(
        pcre2_match_context_create_16(nullptr));
    std::unique_ptr<pcre2_jit_stack_16, JitStackDeleter> jitStack(
        pcre2_jit_stack_create_16(jitStackStart, jitStackMax, nullptr));
    if (!data || !context)
        return false;
    pcre2_set_match_limit_16(context.get(), matchLimitFor(subjectUnits.size()));
    pcre2_set_depth_limit_16(context.get(), depthLimit);
    if (jitStack)
        pcre2_jit_stack_assign_16(context.get(), nullptr, jitStack.get());

    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(data.get());
    const std::size_t length = subjectUnits.size();
    std::size_t start = 0;
    std::uint32_t flags = 0;
    while (start <= length) {
        const int rc = pcre2_match_16(code.get(), units(subjectUnits), length, start,
                                      flags | PCRE2_NO_UTF_CHECK, data.get(), context.get());
        if (rc == PCRE2_ERROR_NOMATCH && flags != 0) {
            // No non-empty match at the place of an empty one: step one character on.
            flags = 0;
            ++start;
            continue;
        }
        // No match, or a limit reached: the run ends with the matches found so far.
        if (rc < 0)
            break;
        std::vector<std::pair<std::size_t, std::size_t>> spans;
        spans.reserve(static_cast<std::size_t>(groups) + 1);
        for (int g = 0; g <= groups; ++g) {
            const std::size_t begin = g < rc ? ovector[2 * g] : unset;
            const std::size_t end = g < rc ? ovector[2 * g + 1] : unset;
            spans.emplace_back(begin, begin == unset ? unset : end);
        }
        matches.push_back(std::move(spans));
        if (!global)
            break;
        start = ovector[1];
        // After an empty match, look for a non-empty one at the same place first.
        flags = ovector[0] == ovector[1] ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
    }
    return true;
}

std::size_t
RegexObject::State::firstOccurrence(std::size_t fromUnit,
                                    const std::pair<std::size_t, std::size_t>& unitSpan) const {
    // The group's own place is an occurrence, so the search always ends there at the
    // latest. Letter case is ignored (ASCII letters) when the run ignored it.
    const std::size_t length = unitSpan.second - unitSpan.first;
    for (std::size_t at = fromUnit; at < unitSpan.first; ++at) {
        bool equal = true;
        for (std::size_t k = 0; k < length && equal; ++k) {
            const char16_t a = subjectUnits[at + k];
            const char16_t b = subjectUnits[unitSpan.first + k];
            equal = ignoreCase ? asciiEqualIgnoringCase(a, b) : a == b;
        }
        if (equal)
            return at;
    }
    return unitSpan.first;
}

RegexObject::RegexObject() : state_(std::make_unique<State>()) {}
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other)
    : state_(std::make_unique<State>(*other.state_)) {}
RegexObject& RegexObject::operator=(const RegexObject& other) {
    if (this != &other)
        *state_ = *other.state_;
    return *this;
}

bool RegexObject::execute(std::string_view pattern, std::string_view subject, bool matchCase,
                          bool multiline, bool global, bool replaceQuotes) {
    State& s = *state_;
    s.clearResults();
    const std::string patternText =
        replaceQuotes ? replaceQuotePlaceholders(pattern) : std::string(pattern);
    const std::u16string patternUnits = cp936ToUtf16(patternText);
    const std::uint32_t options = compileOptions(!matchCase, multiline);
    if (!s.code || s.codePattern != patternUnits || s.codeOptions != options) {
        s.code = compilePattern(patternUnits, options);
        s.codePattern = patternUnits;
        s.codeOptions = options;
    }
    if (!s.code)
        return false;

    std::uint32_t captureCount = 0;
    pcre2_pattern_info_16(s.code.get(), PCRE2_INFO_CAPTURECOUNT, &captureCount);
    s.groups = static_cast<int>(captureCount);
    s.pattern = patternText;
    s.ignoreCase = !matchCase;
    s.subject = std::string(subject);
    s.subjectUnits = cp936ToUtf16(s.subject, &s.byteOffsets);
    s.compiled = s.runAll(global);
    if (!s.compiled)
        s.clearResults();
    return s.compiled;
}

std::string RegexObject::patternText() const {
    return state_->pattern;
}

std::string RegexObject::replace(std::string_view replacement) const {
    const State& s = *state_;
    if (!s.compiled)
        return {};
    std::string result;
    result.reserve(s.subject.size());
    std::size_t copied = 0; // byte offset in the subject up to which the result is made
    for (std::size_t m = 0; m < s.matches.size(); ++m) {
        const auto& whole = s.matches[m][0];
        const std::size_t begin = s.byteOffsets[whole.first];
        result.append(s.subject, copied, begin - copied);
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            const char c = replacement[i];
            const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
            if (c == '$' && next == '$') {
                result += '$';
                ++i;
            } else if (c == '$' && next == '&') {
                result.append(s.bytesOf(whole));
                ++i;
            } else if (c == '$' && next >= '1' && next <= '9' && next - '0' <= s.groups) {
                if (const auto* group = s.span(static_cast<int>(m) + 1, next - '0'))
                    result.append(s.bytesOf(*group));
                ++i;
            } else {
                result += c;
            }
        }
        copied = s.byteOffsets[whole.second];
    }
    result.append(s.subject, copied);
    return result;
}

int RegexObject::matchCount() const {
    return static_cast<int>(state_->matches.size());
}

std::string RegexObject::matchText(int matchIndex, int* position) const {
    const State& s = *state_;
    const auto* whole = s.span(matchIndex, 0);
    if (position)
        *position = whole ? static_cast<int>(s.byteOffsets[whole->first]) : 0;
    return whole ? std::string(s.bytesOf(*whole)) : std::string();
}

std::string RegexObject::groupText(int matchIndex, int groupIndex, int* position) const {
    const State& s = *state_;
    const auto* group = groupIndex >= 1 ? s.span(matchIndex, groupIndex) : nullptr;
    if (position) {
        *position = 0;
        if (group) {
            const std::size_t from = s.span(matchIndex, 0)->first;
            *position = static_cast<int>(s.byteOffsets[s.firstOccurrence(from, *group)]);
        }
    }
    return group ? std::string(s.bytesOf(*group)) : std::string();
}

int RegexObject::groupCount() const {
    return state_->matches.empty() ? 0 : state_->groups;
}
