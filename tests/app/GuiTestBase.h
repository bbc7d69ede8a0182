#pragma once
// A test fixture with the real main window: it points the download engine loader at
// the counting test engine (once per test program), creates the global state and a
// MainWindow for a given web host, shows it (QT_QPA_PLATFORM=offscreen) and destroys it
// after the test. Controls are found by their form names; clicks and double-clicks are
// real mouse events through QTest.
//
// Link the library guitestbase: it also brings a main() that creates the QApplication.

#include "app/MainWindow.h"
#include "download/GlobalState.h"
#include "seam/ControlSeam.h"

#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTreeWidget;

class GuiTestBase : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The course platform's host the window is made for; by default one where nothing
    // listens. Override to point the window at a sandbox.
    virtual std::string webHost() const;
    // The engine library for the whole test program (the loader opens it once): by
    // default the counting test engine that lies beside the test program.
    virtual std::string engineLibrary() const;

    MainWindow& window() const { return *window_; }
    GlobalState& state() const { return *state_; }
    std::shared_ptr<ControlSeam> controls() const { return window_->controls(); }
    // Destroys the window now (as closing it does); TearDown then has nothing to do.
    void destroyWindow();

    // The control with this form name (UTF-8), or nullptr with a test failure.
    template <typename Control = QWidget> Control* control(const char* name) const {
        auto found = window_->findChild<Control*>(QString::fromUtf8(name));
        if (!found)
            ADD_FAILURE() << "no control named " << name;
        return found;
    }
    QTreeWidget* list(const char* name) const;

    // Brings the control's tab page to the front, then clicks its middle.
    void click(const char* button);
    void showPageOf(QWidget* control);
    // Page controls are children of "选择夹1" with their page number in the property
    // "tabPage"; this makes their page the current one.
    void clickRow(const char* list, int row, int column = 1);
    void doubleClickRow(const char* list, int row, int column = 1);
    // A double-click below the last row.
    void doubleClickEmptySpace(const char* list);

    // Appends a row to a list with these cells (UTF-8), as a worker would.
    void appendRow(const char* list, const std::vector<std::string>& cellsUtf8);
    // A cell as UTF-8 text.
    std::string cellUtf8(const char* list, int row, int column) const;
    int rowCount(const char* list) const;

    // Runs `answer` on the next modal dialog (message box, folder dialog) as soon as it
    // is open; the answer must close it. Gives up after a few seconds.
    void whenModalOpens(std::function<void(QWidget*)> answer);

    static QString ui(const char* utf8) { return QString::fromUtf8(utf8); }

private:
    std::unique_ptr<GlobalState> state_;
    std::unique_ptr<MainWindow> window_;
};
