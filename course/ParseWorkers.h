#pragma once
// The two parsing workers behind "解析". Worker one reads the course address, asks the
// course service for the course plan and fills the results list with the lessons; when
// the list has rows it starts worker two, which asks for each lesson's video
// information and writes the chosen quality's address, scrambled, into column 3.
// Both run on detached threads and touch the window only through the control seam.

#include "seam/ControlSeam.h"
#include "text/SharedText.h"

#include <memory>
#include <string>

struct ParseContext {
    // The window's controls; every call is carried out on the UI thread.
    std::shared_ptr<ControlSeam> controls;
    // The course platform's web host ("host" or "host:port"), the one behind the
    // plain-call endpoint.
    std::string webHost;
    // ".flv" or ".mp4", written by worker two, read by the download controller.
    std::shared_ptr<SharedText> chosenExtension;
};

// Starts lessonListWorker on a detached thread and returns at once.
void startLessonListWorker(ParseContext context);
// Starts videoAddressWorker on a detached thread and returns at once.
void startVideoAddressWorker(ParseContext context);

// Worker one: course id, course plan request, one results row per lesson.
void lessonListWorker(const ParseContext& context);
// Worker two: one video information request per results row, then the summary.
void videoAddressWorker(const ParseContext& context);
