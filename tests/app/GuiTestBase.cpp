#include "tests/app/GuiTestBase.h"

#include "app/Startup.h"
#include "download/EngineLoader.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

void GuiTestBase::SetUp() {
    static const bool engineChosen = [this] {
        dlengine::setLibraryName(engineLibrary());
        return true;
    }();
    (void)engineChosen;
    state_ = createGlobalState();
    window_ = std::make_unique<MainWindow>(*state_, webHost());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

void GuiTestBase::TearDown() {
    destroyWindow();
}

void GuiTestBase::destroyWindow() {
    window_.reset();
    // Lets deferred deletions (sound effects, dialogs) run before the next test.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::string GuiTestBase::webHost() const {
    return "127.0.0.1:9";
}

std::string GuiTestBase::engineLibrary() const {
    return (QCoreApplication::applicationDirPath() + QStringLiteral("/libapptestengine.so"))
        .toStdString();
}

QTreeWidget* GuiTestBase::list(const char* name) const {
    return control<QTreeWidget>(name);
}

void GuiTestBase::showPageOf(QWidget* widget) {
    // Page controls carry their page number; the others are always on show.
    const QVariant page = widget->property("tabPage");
    if (page.isValid())
        window_->findChild<QTabWidget*>(ui("选择夹1"))->setCurrentIndex(page.toInt());
}

void GuiTestBase::click(const char* button) {
    QWidget* widget = control(button);
    ASSERT_NE(widget, nullptr);
    showPageOf(widget);
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

namespace {
QPoint cellCentre(QTreeWidget* list, int row, int column) {
    return list->visualRect(list->model()->index(row, column)).center();
}
} // namespace

void GuiTestBase::clickRow(const char* listName, int row, int column) {
    QTreeWidget* target = list(listName);
    ASSERT_NE(target, nullptr);
    showPageOf(target);
    QTest::mouseClick(target->viewport(), Qt::LeftButton, {}, cellCentre(target, row, column));
}

void GuiTestBase::doubleClickRow(const char* listName, int row, int column) {
    QTreeWidget* target = list(listName);
    ASSERT_NE(target, nullptr);
    showPageOf(target);
    const QPoint at = cellCentre(target, row, column);
    // A real double-click: the first click selects the row, the second is the double.
    QTest::mouseClick(target->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(target->viewport(), Qt::LeftButton, {}, at);
}

void GuiTestBase::doubleClickEmptySpace(const char* listName) {
    QTreeWidget* target = list(listName);
    ASSERT_NE(target, nullptr);
    showPageOf(target);
    const QPoint at(target->viewport()->width() / 2, target->viewport()->height() - 4);
    ASSERT_FALSE(target->indexAt(at).isValid()) << "the list is too full to find empty space";
    QTest::mouseDClick(target->viewport(), Qt::LeftButton, {}, at);
}

void GuiTestBase::appendRow(const char* listName, const std::vector<std::string>& cellsUtf8) {
    QTreeWidget* target = list(listName);
    ASSERT_NE(target, nullptr);
    auto item = new QTreeWidgetItem(target);
    for (std::size_t column = 0; column < cellsUtf8.size(); ++column)
        item->setText(static_cast<int>(column), QString::fromStdString(cellsUtf8[column]));
}

std::string GuiTestBase::cellUtf8(const char* listName, int row, int column) const {
    QTreeWidget* target = list(listName);
    if (!target || row < 0 || row >= target->topLevelItemCount())
        return "<no row " + std::to_string(row) + ">";
    return target->topLevelItem(row)->text(column).toStdString();
}

int GuiTestBase::rowCount(const char* listName) const {
    QTreeWidget* target = list(listName);
    return target ? target->topLevelItemCount() : -1;
}

void GuiTestBase::whenModalOpens(std::function<void(QWidget*)> answer) {
    auto poll = new QTimer(window_.get());
    auto deadline = std::make_shared<int>(500);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, answer = std::move(answer)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            answer(modal);
        } else if (--*deadline == 0) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "no modal dialog opened";
        }
    });
    poll->start(10);
}
