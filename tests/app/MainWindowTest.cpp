// The main window as it opens: every control under its form name, with its caption,
// place, size and state; the tab pages and the list columns; the engine calls and the
// save folder of the created and destroyed events.

#include "tests/app/GuiTestBase.h"
#include "tests/app/TestEngine.h"

#include "app/ProgramDirectory.h"
#include "download/EngineLoader.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

enum class Parent { Window, Group, Tabs };

struct ExpectedControl {
    const char* name;
    const char* kind; // Qt class name
    Parent parent;
    QRect geometry;   // relative to the parent named above
    const char* text; // nullptr: no text to compare
    bool enabled;
    bool shown;
};

const ExpectedControl expectedControls[] = {
    {"编辑框1", "QLineEdit", Parent::Window, {2, 0, 278, 32}, nullptr, true, true},
    {"分组框1", "QGroupBox", Parent::Window, {280, -5, 160, 40}, "", true, true},
    {"单选框1", "QRadioButton", Parent::Group, {8, 12, 24, 24}, "1", true, true},
    {"单选框2", "QRadioButton", Parent::Group, {32, 14, 24, 20}, "2", true, true},
    {"单选框3", "QRadioButton", Parent::Group, {56, 12, 24, 24}, "3", true, true},
    {"单选框4", "QRadioButton", Parent::Group, {80, 14, 24, 20}, "4", true, true},
    {"单选框5", "QRadioButton", Parent::Group, {104, 13, 32, 24}, "5", true, true},
    {"单选框6", "QRadioButton", Parent::Group, {130, 13, 24, 24}, "6", true, true},
    {"按钮1", "QPushButton", Parent::Window, {440, 3, 40, 29}, "解析", true, true},
    {"编辑框ID", "QLineEdit", Parent::Window, {496, 16, 56, 32}, "", true, false},
    {"选择夹1", "QTabWidget", Parent::Window, {1, 32, 488, 472}, nullptr, true, true},
    {"超级列表框1", "QTreeWidget", Parent::Tabs, {2, 24, 488, 368}, nullptr, true, true},
    {"按钮4", "QPushButton", Parent::Tabs, {24, 400, 112, 32}, "删除失败", false, true},
    {"按钮2", "QPushButton", Parent::Tabs, {176, 400, 112, 32}, "一键加入下载列表", false, true},
    {"按钮3", "QPushButton", Parent::Tabs, {320, 400, 112, 32}, "清空列表", true, true},
    {"透明标签2",
     "QLabel",
     Parent::Tabs,
     {8, 441, 464, 24},
     "1.2.3对应的flv三种清晰度4.5.6对应的MP4三种清晰度：按需选择下载，内容一样。",
     true,
     true},
    {"超级列表框2", "QTreeWidget", Parent::Tabs, {0, 24, 488, 376}, nullptr, true, true},
    {"编辑框保存", "QLineEdit", Parent::Tabs, {8, 408, 128, 24}, nullptr, true, true},
    {"按钮选择", "QPushButton", Parent::Tabs, {144, 408, 48, 24}, "浏览", true, true},
    {"按钮1清空", "QPushButton", Parent::Tabs, {232, 408, 48, 24}, "清空", true, true},
    {"按钮下载", "QPushButton", Parent::Tabs, {328, 408, 56, 24}, "下载", true, true},
    {"按钮暂停", "QPushButton", Parent::Tabs, {416, 408, 48, 24}, "暂停", true, true},
    {"透明标签1", "QLabel", Parent::Tabs, {256, 0, 160, 24}, "", true, true},
    {"透明标签显示", "QLabel", Parent::Tabs, {8, 440, 464, 24}, "", true, true},
};

QString textOf(QWidget* widget) {
    if (auto edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    return {};
}

} // namespace

class MainWindowTest : public GuiTestBase {
protected:
    QTabWidget* tabs() const { return control<QTabWidget>("选择夹1"); }

    QRect geometryInParent(QWidget* widget, Parent parent) {
        if (parent != Parent::Tabs)
            return widget->geometry();
        return {widget->mapTo(tabs(), QPoint(0, 0)), widget->size()};
    }
};

TEST_F(MainWindowTest, EveryControlHasItsKindPlaceCaptionAndInitialState) {
    for (const ExpectedControl& expected : expectedControls) {
        SCOPED_TRACE(expected.name);
        QWidget* widget = control(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), expected.kind);
        if (expected.parent == Parent::Group) {
            EXPECT_EQ(widget->parentWidget(), control("分组框1"));
        }
        EXPECT_EQ(geometryInParent(widget, expected.parent), expected.geometry);
        if (expected.text) {
            EXPECT_EQ(textOf(widget), ui(expected.text));
        }
        EXPECT_EQ(widget->isEnabled(), expected.enabled);
        showPageOf(widget);
        EXPECT_EQ(widget->isVisibleTo(widget->window()), expected.shown);
    }
}

TEST_F(MainWindowTest, FixedClientAreaHoldsEveryVisibleControl) {
    EXPECT_EQ(window().windowTitle(), ui("Morvilla免费视频解析下载工具 DALVEX BY:ombrit"));
    EXPECT_EQ(window().minimumSize(), window().maximumSize());
    const QRect client = window().rect();
    for (const ExpectedControl& expected : expectedControls) {
        QWidget* widget = control(expected.name);
        if (!expected.shown)
            continue;
        showPageOf(widget);
        const QRect inWindow(widget->mapTo(&window(), QPoint(0, 0)), widget->size());
        // The group box begins above the client area by design (its empty top border).
        EXPECT_LE(inWindow.right(), client.right()) << expected.name;
        EXPECT_LE(inWindow.bottom(), client.bottom()) << expected.name;
    }
}

TEST_F(MainWindowTest, WindowIconHasTheFiveSizes) {
    const QList<QSize> sizes = window().windowIcon().availableSizes();
    for (int size : {16, 32, 48, 64, 128})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

TEST_F(MainWindowTest, QualityFourIsCheckedAndTheRadioButtonsAreOneGroup) {
    EXPECT_TRUE(control<QRadioButton>("单选框4")->isChecked());
    for (const char* other : {"单选框1", "单选框2", "单选框3", "单选框5", "单选框6"})
        EXPECT_FALSE(control<QRadioButton>(other)->isChecked()) << other;
    click("单选框2");
    EXPECT_TRUE(control<QRadioButton>("单选框2")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("单选框4")->isChecked());
}

TEST_F(MainWindowTest, TabPagesHaveTheirCaptionsAsStoredAndTheFirstIsShown) {
    QTabWidget* pages = tabs();
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), ui("解析文件"));
    EXPECT_EQ(pages->tabText(1), ui("下载列表 ")); // the trailing blank belongs to it
    EXPECT_EQ(pages->tabText(2), ui("关于软件"));
    EXPECT_EQ(pages->currentIndex(), 0);

    // Each page shows its own controls only.
    struct OnPage {
        const char* control;
        int page;
    };
    const OnPage controls[] = {{"超级列表框1", 0}, {"透明标签2", 0}, {"超级列表框2", 1},
                               {"透明标签1", 1},   {"按钮暂停", 1},  {"关于文本", 2}};
    for (int shown = 0; shown < 3; ++shown) {
        pages->setCurrentIndex(shown);
        for (const OnPage& expected : controls)
            EXPECT_EQ(control(expected.control)->isVisible(), expected.page == shown)
                << expected.control << " with page " << shown << " shown";
    }
}

TEST_F(MainWindowTest, ListsShowTheirColumnsInReportViewAndSelectWholeRows) {
    struct Columns {
        const char* list;
        std::vector<std::pair<const char*, int>> columns;
    };
    const Columns lists[] = {
        {"超级列表框1", {{"ID", 50}, {"视频标题", 150}, {"视频标示", 1}, {"下载地址", 279}}},
        {"超级列表框2",
         {{"ID", 30}, {"视频标题", 143}, {"文件大小", 70}, {"下载地址", 160}, {"完成状态", 70}}},
    };
    for (const Columns& expected : lists) {
        SCOPED_TRACE(expected.list);
        QTreeWidget* widget = list(expected.list);
        ASSERT_EQ(widget->columnCount(), static_cast<int>(expected.columns.size()));
        EXPECT_FALSE(widget->isHeaderHidden());
        EXPECT_EQ(widget->topLevelItemCount(), 0);
        for (int column = 0; column < widget->columnCount(); ++column) {
            const auto& [header, width] = expected.columns[static_cast<std::size_t>(column)];
            EXPECT_EQ(widget->headerItem()->text(column), ui(header));
            EXPECT_EQ(widget->header()->sectionSize(column), width) << header;
        }
    }

    appendRow("超级列表框1", {"1", "first", "11", "a"});
    appendRow("超级列表框1", {"2", "second", "12", "b"});
    clickRow("超级列表框1", 1, 0);
    QTreeWidget* results = list("超级列表框1");
    ASSERT_EQ(results->selectedItems().size(), 1);
    EXPECT_EQ(results->selectedItems().front(), results->topLevelItem(1));
    // The whole row, every column, is selected.
    EXPECT_EQ(results->selectionModel()->selectedIndexes().size(), 4);
}

TEST_F(MainWindowTest, AddressBoxHoldsTheSampleCourseOnTheGivenHost) {
    EXPECT_EQ(control<QLineEdit>("编辑框1")->text(),
              ui("http://127.0.0.1:9/course/introduction/1455026.htm"));
}

TEST_F(MainWindowTest, TimerIsStoppedWithPeriodZero) {
    auto timer = window().findChild<QTimer*>(ui("时钟1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(controls()->timerPeriod("时钟1"), 0);
}

TEST_F(MainWindowTest, SaveFolderShowsTheProgramsDirectory) {
    const QString shown = control<QLineEdit>("编辑框保存")->text();
    EXPECT_EQ(shown, QCoreApplication::applicationDirPath());
    EXPECT_FALSE(shown.endsWith(QLatin1Char('/')));
}

TEST_F(MainWindowTest, AboutPageNamesTheProgramAndItsLicence) {
    auto about = control<QLabel>("关于文本");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->text().contains(ui(COURSEDL_TEST_VERSION)));
    EXPECT_TRUE(about->text().contains(ui("GPL")));
}

TEST_F(MainWindowTest, EngineIsInitialisedOnCreationAndUninitialisedOnceOnDestruction) {
    // The fixture's window has been created: one XL_Init per window so far.
    const int initsBefore = testEngineInitCalls();
    const int unInitsBefore = testEngineUnInitCalls();
    EXPECT_EQ(initsBefore, unInitsBefore + 1);
    destroyWindow();
    EXPECT_EQ(testEngineInitCalls(), initsBefore);
    EXPECT_EQ(testEngineUnInitCalls(), unInitsBefore + 1);
}
