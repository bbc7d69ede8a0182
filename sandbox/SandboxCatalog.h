#pragma once
// The courses the sandbox knows: the fixed sample course and, when asked for, a
// generated course of any number of lessons.

#include "sandbox/CourseSandbox.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SandboxCatalog final {
public:
    explicit SandboxCatalog(int generatedLessons);

    bool hasCourse(std::string_view courseId) const;
    std::string courseTitleUtf8(std::string_view courseId) const;
    // The lessons in plan order; empty for an unknown course.
    std::vector<SampleLesson> lessonsOf(std::string_view courseId) const;
    std::optional<SampleLesson> lesson(std::string_view courseId, std::string_view lessonId) const;

    static const std::vector<SampleLesson>& sampleLessons();

private:
    bool isGeneratedCourse(std::string_view courseId) const;
    static SampleLesson generatedLesson(int number);

    int generatedLessons_;
};
