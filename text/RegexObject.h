#pragma once
// One regular expression run over one subject text; matches and capture groups come back
// as code page 936 texts with 1-based match and group indexes. Matching is done by PCRE2
// on the subject converted to UTF-16; positions are exact byte offsets in the subject.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class RegexObject final {
public:
    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject&);
    RegexObject& operator=(const RegexObject&);

    // Runs `pattern` over `subject`, replacing the results of the previous run. Letter
    // case is ignored unless `matchCase`; with `multiline` "^" and "$" match at line
    // breaks; with `global` every match is collected, otherwise the first only; with
    // `replaceQuotes` every "#引号" in the pattern becomes a double quote first. "." never
    // matches a line feed. False when the pattern does not compile; a subject on which
    // matching runs past the engine's limits gives no matches.
    bool execute(std::string_view pattern, std::string_view subject, bool matchCase = false,
                 bool multiline = true, bool global = true, bool replaceQuotes = false);

    // The pattern of the last run (after any "#引号" replacement); empty before the first.
    std::string patternText() const;

    // The subject of the last run with its matches (all of them, or the first one when
    // the run was not global) replaced; "$1".."$9", "$&" and "$$" in `replacement` stand
    // for a group, the whole match and a dollar sign.
    std::string replace(std::string_view replacement = {}) const;

    int matchCount() const;
    // The text of match `matchIndex` (from 1); empty when there is no such match. When
    // `position` is given it receives the match's 0-based byte offset in the subject.
    std::string matchText(int matchIndex, int* position = nullptr) const;
    // The text of group `groupIndex` (from 1) of match `matchIndex`; empty when either
    // does not exist or the group took no part in the match. `position` receives the
    // 0-based byte offset of the first occurrence of that text at or after the start of
    // the match.
    std::string groupText(int matchIndex, int groupIndex, int* position = nullptr) const;
    // The number of capture groups, 0 when the last run found no match.
    int groupCount() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
