#include "course/ParseWorkers.h"

#include "course/AddressCodec.h"
#include "course/CourseProtocol.h"
#include "text/Codepage.h"
#include "text/Decode.h"
#include "text/RegexObject.h"
#include "web/WebRequest.h"

#include <string>
#include <thread>
#include <utility>

// Form names of the controls the workers use. Plain literals, not std::string objects:
// a worker may still run while the program ends, after static objects are destroyed.
static constexpr const char* addressBox = "编辑框1";
static constexpr const char* courseIdBox = "编辑框ID";
static constexpr const char* statusLine = "透明标签2";
static constexpr const char* resultsList = "超级列表框1";
static constexpr const char* addAllButton = "按钮2";
static constexpr const char* deleteFailedButton = "按钮4";

// Results list columns.
static constexpr int numberColumn = 0;
static constexpr int nameColumn = 1;
static constexpr int lessonIdColumn = 2;
static constexpr int addressColumn = 3;

static constexpr int postMethod = 1;

void startLessonListWorker(ParseContext context) {
    std::thread([context = std::move(context)] { lessonListWorker(context); }).detach();
}

void startVideoAddressWorker(ParseContext context) {
    std::thread([context = std::move(context)] { videoAddressWorker(context); }).detach();
}

// Asks the service for the course plan; the reply decoded, or empty on any failure.
static std::string fetchCoursePlan(const std::string& webHost, const std::string& courseId) {
    std::string headers(coursePlanHeaders);
    const std::string reply =
        fetchText(plainCallEndpoint(webHost), postMethod, coursePlanRequestBody(courseId), nullptr,
                  nullptr, &headers);
    return decodeCourseReply(reply);
}

void lessonListWorker(const ParseContext& context) {
    ControlSeam& controls = *context.controls;
    RegexObject regex;
    controls.setText(statusLine, utf8ToCp936("解析中，请稍后"));

    const std::string courseId = courseIdFromAddress(controls.text(addressBox));
    controls.setText(courseIdBox, courseId);
    const std::string decoded = fetchCoursePlan(context.webHost, courseId);

    // Rows of an earlier run stay in sight until the new reply is here.
    controls.deleteAllRows(resultsList);
    regex.execute(std::string(lessonPattern), decoded);
    const int lessons = regex.matchCount();
    for (int k = 1; k <= lessons; ++k) {
        const std::string name = regex.groupText(k, 2);
        const std::string lessonId = regex.groupText(k, 1);
        // Another run or a list command may change the list meanwhile: the new row is
        // addressed by the index its append returned.
        const int row = controls.appendRow(resultsList);
        controls.setCellText(resultsList, row, numberColumn, std::to_string(k));
        controls.setCellText(resultsList, row, lessonIdColumn, lessonId);
        controls.setCellText(resultsList, row, nameColumn, name);
    }

    if (controls.rowCount(resultsList) != 0) {
        controls.setText(statusLine, utf8ToCp936("下载地址解析中。。。"));
        startVideoAddressWorker(context);
    }
}

// The first of 单选框1..单选框5 that is checked gives the quality number; none gives 6.
static int checkedQualityNumber(ControlSeam& controls) {
    for (int number = 1; number <= 5; ++number) {
        if (controls.isChecked("单选框" + std::to_string(number))) {
            return number;
        }
    }
    return 6;
}

// The results cell of one lesson: its scrambled address, or the failure marker when the
// reply held no address of the chosen quality (failed request, no video, changed format),
// so that the user sees the failure and "删除失败" can remove the row.
static std::string addressCell(RegexObject& regex, const std::string& decodedReply, int group) {
    regex.execute(std::string(videoPattern), decodedReply);
    const std::string address = regex.groupText(1, group);
    if (address.empty()) {
        return utf8ToCp936("解析失败");
    }
    return scrambleAddress(address, addressTagKey);
}

static std::string summaryText(int rows) {
    return utf8ToCp936("解析完成共解析到： ") + std::to_string(rows) +
           utf8ToCp936(" 个文件。双击可以单个加入下载列表");
}

void videoAddressWorker(const ParseContext& context) {
    ControlSeam& controls = *context.controls;
    RegexObject regex;
    const int rows = controls.rowCount(resultsList);
    const VideoQuality quality = videoQuality(checkedQualityNumber(controls));
    context.chosenExtension->set(std::string(quality.extension));

    const std::string endpoint = plainCallEndpoint(context.webHost);
    for (int row = 0; row < rows; ++row) {
        const std::string lessonId = controls.cellText(resultsList, row, lessonIdColumn);
        // Read afresh for every lesson: a new parse may have changed the course meanwhile.
        const std::string courseId = controls.text(courseIdBox);
        const std::string reply =
            fetchText(endpoint, postMethod, videoInfoRequestBody(lessonId, courseId));
        const std::string cell = addressCell(regex, decodeVideoReply(reply), quality.group);
        // A row deleted or refilled by a list command or another parse while the request
        // ran now holds another lesson: its address must not land there.
        if (controls.cellText(resultsList, row, lessonIdColumn) == lessonId) {
            controls.setCellText(resultsList, row, addressColumn, cell);
        }
    }

    controls.setText(statusLine, summaryText(controls.rowCount(resultsList)));
    if (controls.rowCount(resultsList) != 0) {
        controls.setEnabled(addAllButton, true);
        controls.setEnabled(deleteFailedButton, true);
    }
}
