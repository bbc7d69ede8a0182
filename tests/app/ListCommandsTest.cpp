// The list commands driven through real clicks and double-clicks on the window.

#include "tests/app/GuiTestBase.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {
const char* const results = "超级列表框1";
const char* const downloads = "超级列表框2";
} // namespace

class ListCommandsTest : public GuiTestBase {
protected:
    // Three parsed lessons, as the parsing workers leave them.
    void fillResults() {
        appendRow(results, {"1", "第一课", "101", "addr-1"});
        appendRow(results, {"2", "第二课", "102", "addr-2"});
        appendRow(results, {"3", "第三课", "103", "addr-3"});
    }
    std::vector<std::string> downloadRow(int row) const {
        std::vector<std::string> cells;
        for (int column = 0; column < 5; ++column)
            cells.push_back(cellUtf8(downloads, row, column));
        return cells;
    }
    QString status() const { return control<QLabel>("透明标签2")->text(); }
    bool enabled(const char* button) const { return control(button)->isEnabled(); }
};

TEST_F(ListCommandsTest, DoubleClickingTheSameRowTwiceAddsTwoNumberedCopies) {
    fillResults();
    state().currentRow = 5;
    doubleClickRow(results, 1);
    doubleClickRow(results, 1);

    ASSERT_EQ(rowCount(downloads), 2);
    EXPECT_EQ(downloadRow(0), (std::vector<std::string>{"1", "第二课", "", "addr-2", ""}));
    EXPECT_EQ(downloadRow(1), (std::vector<std::string>{"2", "第二课", "", "addr-2", ""}));
    EXPECT_EQ(status(), ui("成功加入下载列表"));
    EXPECT_EQ(state().currentRow, 0);
    EXPECT_EQ(rowCount(results), 3); // moving copies, the results stay
}

TEST_F(ListCommandsTest, DoubleClickOnEmptySpaceAddsTheSelectedRowOrAnEmptyOne) {
    fillResults();
    doubleClickEmptySpace(results);
    clickRow(results, 2);
    doubleClickEmptySpace(results);

    ASSERT_EQ(rowCount(downloads), 2);
    EXPECT_EQ(downloadRow(0), (std::vector<std::string>{"1", "", "", "", ""}));
    EXPECT_EQ(downloadRow(1), (std::vector<std::string>{"2", "第三课", "", "addr-3", ""}));
}

TEST_F(ListCommandsTest, AddAllReplacesTheDownloadListAndRenumbersFromOne) {
    fillResults();
    appendRow(downloads, {"1", "old", "9MB", "old-addr", "下载完毕"});
    appendRow(downloads, {"2", "old", "", "old-addr", ""});
    appendRow(downloads, {"3", "old", "", "old-addr", ""});
    appendRow(downloads, {"4", "old", "", "old-addr", ""});
    control("按钮2")->setEnabled(true); // as a finished parse leaves it
    state().currentRow = 3;

    click("按钮2");
    ASSERT_EQ(rowCount(downloads), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(cellUtf8(downloads, row, 0), std::to_string(row + 1));
        EXPECT_EQ(cellUtf8(downloads, row, 1), cellUtf8(results, row, 1));
        EXPECT_EQ(cellUtf8(downloads, row, 2), "");
        EXPECT_EQ(cellUtf8(downloads, row, 3), cellUtf8(results, row, 3));
        EXPECT_EQ(cellUtf8(downloads, row, 4), "");
    }
    EXPECT_EQ(status(), ui("成功加入下载列表"));
    EXPECT_FALSE(enabled("按钮2"));
    EXPECT_EQ(state().currentRow, 0);

    // A double-click afterwards continues the numbering and resets the row again.
    state().currentRow = 2;
    doubleClickRow(results, 0);
    ASSERT_EQ(rowCount(downloads), 4);
    EXPECT_EQ(downloadRow(3), (std::vector<std::string>{"4", "第一课", "", "addr-1", ""}));
    EXPECT_EQ(state().currentRow, 0);
}

TEST_F(ListCommandsTest, AddAllWithNoResultsEmptiesTheDownloadListAndDisablesItself) {
    appendRow(downloads, {"1", "old", "", "old-addr", ""});
    control("按钮2")->setEnabled(true);
    click("按钮2");
    EXPECT_EQ(rowCount(downloads), 0);
    EXPECT_EQ(status(), ui("成功加入下载列表"));
    EXPECT_FALSE(enabled("按钮2"));
}

TEST_F(ListCommandsTest, EmptyingTheResultsWorksOncePerRun) {
    fillResults();
    const QString statusBefore = status();
    click("按钮3");
    EXPECT_EQ(rowCount(results), 0);
    EXPECT_FALSE(enabled("按钮3"));
    EXPECT_EQ(status(), statusBefore);

    // A new parse fills the list again; the button stays dead.
    fillResults();
    click("按钮3");
    EXPECT_EQ(rowCount(results), 3);
}

TEST_F(ListCommandsTest, DeleteFailedRemovesExactlyTheRowsMarkedFailed) {
    // Adjacent failed rows catch a loop that skips the row after a deletion; near
    // misses of the marker must stay.
    appendRow(results, {"1", "a", "1", "解析失败"});
    appendRow(results, {"2", "b", "2", "解析失败"});
    appendRow(results, {"3", "c", "3", "addr-3"});
    appendRow(results, {"4", "d", "4", "解析失败 "});
    appendRow(results, {"5", "e", "5", "解析失败"});
    appendRow(results, {"6", "f", "6", ""});
    appendRow(results, {"7", "g", "7", "解析失败"});
    control("按钮4")->setEnabled(true);

    click("按钮4");
    ASSERT_EQ(rowCount(results), 3);
    EXPECT_EQ(cellUtf8(results, 0, 1), "c");
    EXPECT_EQ(cellUtf8(results, 1, 1), "d");
    EXPECT_EQ(cellUtf8(results, 2, 1), "f");
    EXPECT_FALSE(enabled("按钮4"));
}

TEST_F(ListCommandsTest, EmptyingTheDownloadListKeepsTheCurrentRow) {
    appendRow(downloads, {"1", "a", "", "x", "下载完毕"});
    appendRow(downloads, {"2", "b", "", "y", ""});
    state().currentRow = 1;
    click("按钮1清空");
    EXPECT_EQ(rowCount(downloads), 0);
    EXPECT_EQ(state().currentRow, 1);
    EXPECT_TRUE(enabled("按钮1清空"));
}

class SaveFolderTest : public ListCommandsTest {
protected:
    QString saveFolder() const { return control<QLineEdit>("编辑框保存")->text(); }
};

TEST_F(SaveFolderTest, ChosenFolderGoesIntoTheSaveFolderBoxExactly) {
    QTemporaryDir parent;
    ASSERT_TRUE(QDir(parent.path()).mkdir(ui("视频")));
    const QString chosen = parent.path() + ui("/视频");
    bool checked = false;
    whenModalOpens([&](QWidget* modal) {
        auto dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        checked = true;
        EXPECT_EQ(dialog->windowTitle(), ui("选择文件存放目录"));
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
        EXPECT_TRUE(dialog->isModal());
        // The field in which a folder can be typed.
        auto field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(field, nullptr);
        field->setText(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    click("按钮选择");
    EXPECT_TRUE(checked);
    EXPECT_EQ(saveFolder(), chosen);
}

TEST_F(SaveFolderTest, RootFolderIsStoredAsItComes) {
    whenModalOpens([](QWidget* modal) {
        auto dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("/");
        static_cast<QDialog*>(dialog)->accept();
    });
    click("按钮选择");
    EXPECT_EQ(saveFolder(), ui("/"));
}

TEST_F(SaveFolderTest, FolderNamedOutsideCodePage936IsRefusedWithAMessage) {
    QTemporaryDir parent;
    const QString chosen = parent.path() + ui("/视频😀");
    ASSERT_TRUE(QDir().mkdir(chosen));
    const QString before = saveFolder();
    QString message;
    whenModalOpens([&](QWidget* modal) {
        modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(chosen);
        qobject_cast<QDialog*>(modal)->accept();
        whenModalOpens([&](QWidget* box) {
            auto messageBox = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(messageBox, nullptr);
            message = messageBox->text();
            messageBox->accept();
        });
    });
    click("按钮选择");
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(saveFolder(), before);
}

TEST_F(SaveFolderTest, CancellingKeepsTheSaveFolder) {
    const QString before = saveFolder();
    whenModalOpens([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    click("按钮选择");
    EXPECT_EQ(saveFolder(), before);
}
