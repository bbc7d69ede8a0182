#pragma once
// The one seam through which the parsing workers and the download controller read and
// write the main window's controls. Controls are named by their form names (UTF-8, as
// written in this source tree: "超级列表框1", "按钮暂停", ...); every text that goes
// through the seam is a code page 936 text.
//
// Called from a worker thread, each call is carried out on the UI thread and the caller
// waits for it, as a cross-thread window message would. Called on the UI thread it runs
// at once. Once the window is gone, calls return at once with an empty or zero result
// and change nothing, so a worker never blocks on a closed window.

#include <string>

class ControlSeam {
public:
    virtual ~ControlSeam() = default;

    // Edit boxes, labels and buttons (the caption of a button).
    virtual std::string text(const std::string& control) = 0;
    virtual void setText(const std::string& control, const std::string& text) = 0;
    virtual void setEnabled(const std::string& control, bool enabled) = 0;
    virtual bool isEnabled(const std::string& control) = 0;
    // Radio buttons.
    virtual bool isChecked(const std::string& control) = 0;

    // List views in report view; rows and columns are 0-based.
    virtual int rowCount(const std::string& list) = 0;
    // Appends an empty row at the end; returns its index.
    virtual int appendRow(const std::string& list) = 0;
    // Empty text for a row or column that does not exist.
    virtual std::string cellText(const std::string& list, int row, int column) = 0;
    // Does nothing for a row or column that does not exist.
    virtual void setCellText(const std::string& list, int row, int column,
                             const std::string& text) = 0;
    virtual void deleteRow(const std::string& list, int row) = 0;
    virtual void deleteAllRows(const std::string& list) = 0;
    // The first selected row, or -1.
    virtual int selectedRow(const std::string& list) = 0;

    // Timers: a period of 0 stops the timer.
    virtual void setTimerPeriod(const std::string& timer, int milliseconds) = 0;
    virtual int timerPeriod(const std::string& timer) = 0;

    // A message box with an OK button only.
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
    // Plays the completion sound once, without waiting for its end.
    virtual void playCompletionSound() = 0;
};
