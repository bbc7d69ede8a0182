#include "text/RegexObject.h"

// Placeholder bodies; the matching follows.
struct RegexObject::State {};

RegexObject::RegexObject() : state_(std::make_unique<State>()) {}
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other)
    : state_(std::make_unique<State>(*other.state_)) {}
RegexObject& RegexObject::operator=(const RegexObject& other) {
    *state_ = *other.state_;
    return *this;
}
bool RegexObject::execute(std::string_view, std::string_view, bool, bool, bool, bool) {
    return false;
}
std::string RegexObject::patternText() const {
    return {};
}
std::string RegexObject::replace(std::string_view) const {
    return {};
}
int RegexObject::matchCount() const {
    return 0;
}
std::string RegexObject::matchText(int, int*) const {
    return {};
}
std::string RegexObject::groupText(int, int, int*) const {
    return {};
}
int RegexObject::groupCount() const {
    return 0;
}
