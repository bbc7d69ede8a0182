#include "sandbox/SandboxCatalog.h"

#include <charconv>

namespace {

// Lesson k of the generated course has the id generatedLessonBase + k.
constexpr long long generatedLessonBase = 3000000;

} // namespace

SandboxCatalog::SandboxCatalog(int generatedLessons)
    : generatedLessons_(generatedLessons > 0 ? generatedLessons : 0) {}

const std::vector<SampleLesson>& SandboxCatalog::sampleLessons() {
    static const std::vector<SampleLesson> lessons = {
        {"1002185001", "第一讲 课程介绍", true},
        {"1002185002", "Lesson 2 - Getting Started", true},
        {"1002185003", "第三讲 数据结构（上）", true},
        {"1002185004", "课堂讨论：答疑", false},
        {"1002185005", "第五讲 C++ 与 Qt 编程", true},
    };
    return lessons;
}

bool SandboxCatalog::isGeneratedCourse(std::string_view courseId) const {
    return generatedLessons_ > 0 && courseId == CourseSandbox::generatedCourseId;
}

bool SandboxCatalog::hasCourse(std::string_view courseId) const {
    return courseId == CourseSandbox::sampleCourseId || isGeneratedCourse(courseId);
}

std::string SandboxCatalog::courseTitleUtf8(std::string_view courseId) const {
    if (courseId == CourseSandbox::sampleCourseId) {
        return "程序设计入门（示例课程）";
    }
    if (isGeneratedCourse(courseId)) {
        return "生成的课程 Generated course (" + std::to_string(generatedLessons_) + " 讲)";
    }
    return {};
}

SampleLesson SandboxCatalog::generatedLesson(int number) {
    const std::string k = std::to_string(number);
    return {std::to_string(generatedLessonBase + number),
            "第" + k + "讲 Video lesson " + k + " 演示", true};
}

std::vector<SampleLesson> SandboxCatalog::lessonsOf(std::string_view courseId) const {
    if (courseId == CourseSandbox::sampleCourseId) {
        return sampleLessons();
    }
    std::vector<SampleLesson> lessons;
    if (isGeneratedCourse(courseId)) {
        lessons.reserve(static_cast<std::size_t>(generatedLessons_));
        for (int k = 1; k <= generatedLessons_; ++k) {
            lessons.push_back(generatedLesson(k));
        }
    }
    return lessons;
}

std::optional<SampleLesson> SandboxCatalog::lesson(std::string_view courseId,
                                                   std::string_view lessonId) const {
    if (courseId == CourseSandbox::sampleCourseId) {
        for (const SampleLesson& lesson : sampleLessons()) {
            if (lesson.id == lessonId) {
                return lesson;
            }
        }
        return std::nullopt;
    }
    if (!isGeneratedCourse(courseId)) {
        return std::nullopt;
    }
    long long id = 0;
    const auto [end, error] =
        std::from_chars(lessonId.data(), lessonId.data() + lessonId.size(), id);
    if (error != std::errc() || end != lessonId.data() + lessonId.size() ||
        id <= generatedLessonBase || id > generatedLessonBase + generatedLessons_ ||
        std::to_string(id) != lessonId) {
        return std::nullopt;
    }
    return generatedLesson(static_cast<int>(id - generatedLessonBase));
}
