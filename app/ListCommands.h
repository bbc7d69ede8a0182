#pragma once
// The commands that move lessons from the results list "超级列表框1" to the download
// list "超级列表框2", tidy both lists and pick nothing else. They copy row texts as they
// stand (the scrambled address included) and run on the UI thread through the seam.
//
// Results row: 0 number, 1 lesson name, 2 lesson id, 3 scrambled address.
// Download row: 0 number, 1 lesson name, 2 file size, 3 scrambled address, 4 state.
// `currentRow` is the download row that "下载" starts from; adding rows resets it to 0.

#include "seam/ControlSeam.h"

#include <cstdint>

// Double-click on the results list: appends the selected results row (empty texts when
// none is selected) to the download list, numbered after the rows already there.
void addSelectedResultRow(ControlSeam& controls, std::int32_t& currentRow);
// "一键加入下载列表": the download list becomes all results rows, numbered from 1.
void replaceDownloadListByAllResults(ControlSeam& controls, std::int32_t& currentRow);
// "清空列表": empties the results list; the button disables itself for good.
void emptyResultList(ControlSeam& controls);
// "删除失败": deletes every results row whose column 3 is exactly "解析失败".
void deleteFailedResultRows(ControlSeam& controls);
// "清空": empties the download list; `currentRow` and a running download stay as they are.
void emptyDownloadList(ControlSeam& controls);
