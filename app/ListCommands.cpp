#include "app/ListCommands.h"

#include "text/Codepage.h"

#include <string>

namespace {

const std::string resultList = "超级列表框1";
const std::string downloadList = "超级列表框2";
const std::string statusLine = "透明标签2";

constexpr int titleColumn = 1;
constexpr int addressColumn = 3;

// Appends one download row with a fresh number and the title and address of a results
// row (empty when the row does not exist).
void appendDownloadRow(ControlSeam& controls, int resultRow) {
    const int row = controls.appendRow(downloadList);
    controls.setCellText(downloadList, row, 0, std::to_string(row + 1));
    controls.setCellText(downloadList, row, titleColumn,
                         controls.cellText(resultList, resultRow, titleColumn));
    controls.setCellText(downloadList, row, addressColumn,
                         controls.cellText(resultList, resultRow, addressColumn));
}

void announceAdded(ControlSeam& controls) {
    controls.setText(statusLine, utf8ToCp936("成功加入下载列表"));
}

} // namespace

void addSelectedResultRow(ControlSeam& controls, std::int32_t& currentRow) {
    appendDownloadRow(controls, controls.selectedRow(resultList));
    announceAdded(controls);
    currentRow = 0;
}

void replaceDownloadListByAllResults(ControlSeam& controls, std::int32_t& currentRow) {
    controls.deleteAllRows(downloadList);
    const int count = controls.rowCount(resultList);
    for (int row = 0; row < count; ++row)
        appendDownloadRow(controls, row);
    announceAdded(controls);
    controls.setEnabled("按钮2", false);
    currentRow = 0;
}

void emptyResultList(ControlSeam& controls) {
    controls.deleteAllRows(resultList);
    controls.setEnabled("按钮3", false);
}

void deleteFailedResultRows(ControlSeam& controls) {
    const std::string failureMarker = utf8ToCp936("解析失败");
    // Every row is tested exactly once: after a deletion the next row has moved up
    // into the same index, so the index only advances past rows that stay.
    int row = 0;
    while (row < controls.rowCount(resultList)) {
        if (controls.cellText(resultList, row, addressColumn) == failureMarker)
            controls.deleteRow(resultList, row);
        else
            ++row;
    }
    controls.setEnabled("按钮4", false);
}

void emptyDownloadList(ControlSeam& controls) {
    controls.deleteAllRows(downloadList);
}
