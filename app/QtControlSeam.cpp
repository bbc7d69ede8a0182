#include "app/QtControlSeam.h"

#include "app/WidgetText.h"

#include <QAbstractButton>
#include <QAudioDevice>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <optional>

namespace {

// The completion sound, a WAVE file compiled into the program as a Qt resource.
const char* const completionSoundResource = ":/sound/chime.wav";

QString widgetText(const QWidget* widget) {
    if (auto edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    return {};
}

void setWidgetText(QWidget* widget, const QString& text) {
    if (auto edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
    else if (auto label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
}

bool cellExists(const QTreeWidget* list, int row, int column) {
    return list && row >= 0 && row < list->topLevelItemCount() && column >= 0 &&
           column < list->columnCount();
}

} // namespace

QtControlSeam::QtControlSeam(QWidget* root) : root_(root), uiThread_(root->thread()) {}

void QtControlSeam::close() {
    {
        std::lock_guard lock(sync_->mutex);
        sync_->closed = true;
    }
    sync_->changed.notify_all();
}

bool QtControlSeam::isClosed() const {
    std::lock_guard lock(sync_->mutex);
    return sync_->closed;
}

int QtControlSeam::waitingCalls() const {
    std::lock_guard lock(sync_->mutex);
    return sync_->waiting;
}

template <typename Result>
Result QtControlSeam::onUiThread(std::function<Result()> call, Result whenClosed) {
    if (QThread::currentThread() == uiThread_)
        return isClosed() ? whenClosed : call();

    // The outcome lives in a shared block: a call released by close() returns while
    // its queued functor may still exist, and that functor must find valid memory.
    auto outcome = std::make_shared<std::optional<Result>>();
    const std::shared_ptr<Sync> sync = sync_;
    std::unique_lock lock(sync->mutex);
    if (sync->closed)
        return whenClosed;
    // Posted while the lock is held: close() cannot slip in between the test above and
    // the post, so the window the call is posted to is still alive. Once the window is
    // gone, Qt discards the events still posted to it.
    QMetaObject::invokeMethod(
        root_,
        [sync, outcome, call = std::move(call)] {
            {
                std::lock_guard guard(sync->mutex);
                if (sync->closed)
                    return;
            }
            // Runs unlocked: a message box runs a nested event loop in which other
            // workers' calls must get through.
            Result result = call();
            {
                std::lock_guard guard(sync->mutex);
                *outcome = std::move(result);
            }
            sync->changed.notify_all();
        },
        Qt::QueuedConnection);
    ++sync->waiting;
    sync->changed.wait(lock, [&] { return outcome->has_value() || sync->closed; });
    --sync->waiting;
    return outcome->has_value() ? std::move(**outcome) : whenClosed;
}

void QtControlSeam::onUiThread(std::function<void()> call) {
    onUiThread<bool>(
        [&call] {
            call();
            return true;
        },
        false);
}

QWidget* QtControlSeam::widget(const std::string& name) const {
    return root_->findChild<QWidget*>(QString::fromStdString(name));
}

QTreeWidget* QtControlSeam::list(const std::string& name) const {
    return root_->findChild<QTreeWidget*>(QString::fromStdString(name));
}

QTimer* QtControlSeam::timer(const std::string& name) const {
    return root_->findChild<QTimer*>(QString::fromStdString(name));
}

std::string QtControlSeam::text(const std::string& control) {
    return onUiThread<std::string>(
        [&] {
            QWidget* found = widget(control);
            return found ? toCp936(widgetText(found)) : std::string();
        },
        {});
}

void QtControlSeam::setText(const std::string& control, const std::string& text) {
    onUiThread([&] {
        if (QWidget* found = widget(control))
            setWidgetText(found, fromCp936(text));
    });
}

void QtControlSeam::setEnabled(const std::string& control, bool enabled) {
    onUiThread([&] {
        if (QWidget* found = widget(control))
            found->setEnabled(enabled);
    });
}

bool QtControlSeam::isEnabled(const std::string& control) {
    return onUiThread<bool>(
        [&] {
            QWidget* found = widget(control);
            return found && found->isEnabled();
        },
        false);
}

bool QtControlSeam::isChecked(const std::string& control) {
    return onUiThread<bool>(
        [&] {
            auto button = qobject_cast<QAbstractButton*>(widget(control));
            return button && button->isChecked();
        },
        false);
}

int QtControlSeam::rowCount(const std::string& listName) {
    return onUiThread<int>(
        [&] {
            QTreeWidget* found = list(listName);
            return found ? found->topLevelItemCount() : 0;
        },
        0);
}

int QtControlSeam::appendRow(const std::string& listName) {
    return onUiThread<int>(
        [&] {
            QTreeWidget* found = list(listName);
            if (!found)
                return -1;
            found->addTopLevelItem(new QTreeWidgetItem());
            return found->topLevelItemCount() - 1;
        },
        -1);
}

std::string QtControlSeam::cellText(const std::string& listName, int row, int column) {
    return onUiThread<std::string>(
        [&] {
            QTreeWidget* found = list(listName);
            if (!cellExists(found, row, column))
                return std::string();
            return toCp936(found->topLevelItem(row)->text(column));
        },
        {});
}

void QtControlSeam::setCellText(const std::string& listName, int row, int column,
                                const std::string& text) {
    onUiThread([&] {
        QTreeWidget* found = list(listName);
        if (cellExists(found, row, column))
            found->topLevelItem(row)->setText(column, fromCp936(text));
    });
}

void QtControlSeam::deleteRow(const std::string& listName, int row) {
    onUiThread([&] {
        QTreeWidget* found = list(listName);
        if (found && row >= 0 && row < found->topLevelItemCount())
            delete found->takeTopLevelItem(row);
    });
}

void QtControlSeam::deleteAllRows(const std::string& listName) {
    onUiThread([&] {
        if (QTreeWidget* found = list(listName))
            found->clear();
    });
}

int QtControlSeam::selectedRow(const std::string& listName) {
    return onUiThread<int>(
        [&] {
            QTreeWidget* found = list(listName);
            if (!found)
                return -1;
            for (int row = 0; row < found->topLevelItemCount(); ++row) {
                if (found->topLevelItem(row)->isSelected())
                    return row;
            }
            return -1;
        },
        -1);
}

void QtControlSeam::setTimerPeriod(const std::string& timerName, int milliseconds) {
    onUiThread([&] {
        QTimer* found = timer(timerName);
        if (!found)
            return;
        if (milliseconds <= 0) {
            found->stop();
            found->setInterval(0);
        } else {
            // Setting the period restarts the count, as it does for a window timer.
            found->start(milliseconds);
        }
    });
}

int QtControlSeam::timerPeriod(const std::string& timerName) {
    return onUiThread<int>(
        [&] {
            QTimer* found = timer(timerName);
            return found && found->isActive() ? found->interval() : 0;
        },
        0);
}

void QtControlSeam::showMessage(const std::string& text, const std::string& caption) {
    onUiThread([&] {
        // Owned through a guarded pointer: if the window goes away while the box runs
        // its own event loop, the box goes with it and is not deleted twice.
        QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Information, fromCp936(caption),
                                                    fromCp936(text), QMessageBox::Ok, root_);
        box->setObjectName(QStringLiteral("信息框"));
        box->exec();
        delete box.data();
    });
}

void QtControlSeam::playCompletionSound() {
    onUiThread([&] {
        if (!QFile::exists(QString::fromLatin1(completionSoundResource)) ||
            QMediaDevices::audioOutputs().isEmpty())
            return;
        // One effect per play, so a sound still playing from an earlier file is not
        // cut off; each effect deletes itself when it has finished or failed.
        auto effect = new QSoundEffect(root_);
        QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
            if (!effect->isPlaying())
                effect->deleteLater();
        });
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
            if (effect->status() == QSoundEffect::Error)
                effect->deleteLater();
        });
        effect->setSource(
            QUrl(QStringLiteral("qrc") + QString::fromLatin1(completionSoundResource)));
        effect->play();
    });
}
