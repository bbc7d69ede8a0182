#pragma once
// The control seam of the main window on Qt. Controls are found by their objectName
// (the form names, UTF-8 in source); texts cross the seam as code page 936 and become
// QString only here, at the widgets.
//
// A call from another thread is posted to the UI thread and the caller waits for its
// result, as a cross-thread window message would. A call on the UI thread runs at once.
// After close() every call answers at once with an empty or zero result, and callers
// that are already waiting are released, so no worker ever blocks on a closed window.

#include "seam/ControlSeam.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QAbstractButton;
class QThread;
class QTimer;
class QTreeWidget;
class QWidget;

class QtControlSeam final : public ControlSeam {
public:
    // `root` is the window whose descendants are the controls; it must outlive every
    // call that runs before close().
    explicit QtControlSeam(QWidget* root);
    QtControlSeam(const QtControlSeam&) = delete;
    QtControlSeam& operator=(const QtControlSeam&) = delete;

    // Called by the window when it is about to be destroyed (UI thread).
    void close();
    bool isClosed() const;
    // Calls from other threads that are waiting for the UI thread right now.
    int waitingCalls() const;

    std::string text(const std::string& control) override;
    void setText(const std::string& control, const std::string& text) override;
    void setEnabled(const std::string& control, bool enabled) override;
    bool isEnabled(const std::string& control) override;
    bool isChecked(const std::string& control) override;

    int rowCount(const std::string& list) override;
    int appendRow(const std::string& list) override;
    std::string cellText(const std::string& list, int row, int column) override;
    void setCellText(const std::string& list, int row, int column,
                     const std::string& text) override;
    void deleteRow(const std::string& list, int row) override;
    void deleteAllRows(const std::string& list) override;
    int selectedRow(const std::string& list) override;

    void setTimerPeriod(const std::string& timer, int milliseconds) override;
    int timerPeriod(const std::string& timer) override;

    void showMessage(const std::string& text, const std::string& caption) override;
    void playCompletionSound() override;

private:
    // Shared with the calls in flight, so that a call still queued when the seam is
    // gone touches nothing that has been freed.
    struct Sync {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
        int waiting = 0;
    };

    template <typename Result> Result onUiThread(std::function<Result()> call, Result whenClosed);
    void onUiThread(std::function<void()> call);

    QWidget* widget(const std::string& name) const;
    QTreeWidget* list(const std::string& name) const;
    QTimer* timer(const std::string& name) const;

    QWidget* const root_;
    QThread* const uiThread_;
    const std::shared_ptr<Sync> sync_ = std::make_shared<Sync>();
};
