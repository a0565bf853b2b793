#include "app/qt_ui_host.h"

#include "app/general_error.h"
#include "link/device_change_watch.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLoggingCategory>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <chrono>

Q_LOGGING_CATEGORY(lcKorvelTrace, "korvel.trace", QtInfoMsg)

namespace korvel {

// The worker's function lives on the worker's stack: a call the worker gave up on (shutdown)
// must never be run afterwards.
struct QtUiHost::Call {
    const std::function<void()>* fn;
    bool running = false;
    bool done = false;
    bool abandoned = false;
};

QtUiHost::QtUiHost(QObject* parent) : QObject(parent) {}

QtUiHost::~QtUiHost() { Shutdown(); }

void QtUiHost::Shutdown() {
    std::lock_guard lock(m_);
    shutdown_ = true;
    cv_.notify_all();
}

void QtUiHost::RunCall(const std::shared_ptr<Call>& call) {
    {
        std::lock_guard lock(m_);
        if (call->abandoned) return;
        call->running = true;
    }
    ++handOversRun_;
    RunGuarded(*this, *call->fn);
    std::lock_guard lock(m_);
    call->done = true;
    cv_.notify_all();
}

bool QtUiHost::RunOnUiThreadAndWait(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread()) {
        {
            std::lock_guard lock(m_);
            if (shutdown_) return false;
        }
        fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->fn = &fn;
    {
        std::lock_guard lock(m_);
        if (shutdown_) return false;
    }
    QMetaObject::invokeMethod(this, [this, call] { RunCall(call); }, Qt::QueuedConnection);
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return call->done || (shutdown_ && !call->running); });
    if (!call->done) {
        call->abandoned = true;
        return false;
    }
    return true;
}

void QtUiHost::ProcessEvents(uint32_t maxWaitMs) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (dispatcher == nullptr) return;
    const uint64_t before = handOversRun_;
    const bool handled = dispatcher->processEvents(QEventLoop::AllEvents);
    if (handled || handOversRun_ != before || maxWaitMs == 0) return;
    // Nothing was pending: sleep in the dispatcher until any event or the bound, never spin.
    QTimer bound;
    bound.setSingleShot(true);
    bound.setTimerType(Qt::PreciseTimer);
    bound.start(static_cast<int>(std::min<uint32_t>(maxWaitMs, 24u * 3600u * 1000u)));
    dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

uint32_t QtUiHost::TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TModalResult QtUiHost::MessageBox(TMsgDlgType type, const std::string& text, TMsgDlgButtons buttons) {
    return MessageBoxWithAdvice(type, text, {}, buttons);
}

TModalResult QtUiHost::MessageBoxWithAdvice(TMsgDlgType type, const std::string& text, const std::string& advice,
                                            TMsgDlgButtons buttons) {
    if (MessageBoxHook) return MessageBoxHook(type, advice.empty() ? text : text + "\n\n" + advice, buttons);
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString title = QStringLiteral("Warning");
    switch (type) {
        case TMsgDlgType::mtWarning: break;
        case TMsgDlgType::mtError: icon = QMessageBox::Critical; title = QStringLiteral("Error"); break;
        case TMsgDlgType::mtInformation: icon = QMessageBox::Information; title = QStringLiteral("Information"); break;
        case TMsgDlgType::mtConfirmation: icon = QMessageBox::Question; title = QStringLiteral("Confirm"); break;
    }
    QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::NoButton, QApplication::activeWindow());
    if (!advice.empty()) box.setInformativeText(QString::fromStdString(advice));
    // The questions name the buttons: they read the same whatever language Qt's own texts are in.
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    ok->setText(QString::fromUtf8(BUTTON_OK));
    box.setDefaultButton(ok);
    if (buttons == TMsgDlgButtons::mbOKCancel) {
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        cancel->setText(QString::fromUtf8(BUTTON_CANCEL));
        // Every question here is asked before something that cannot be undone: Enter keeps things.
        box.setDefaultButton(cancel);
    }
    box.exec();
    return box.clickedButton() == ok ? TModalResult::mrOk : TModalResult::mrCancel;
}

std::string QtUiHost::InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText) {
    if (InputBoxHook) return InputBoxHook(caption, prompt, defaultText);
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), QString::fromStdString(caption),
                                               QString::fromStdString(prompt), QLineEdit::Normal,
                                               QString::fromStdString(defaultText), &ok);
    return ok ? text.toStdString() : defaultText;
}

std::unique_ptr<DeviceChangeWatch> QtUiHost::WatchDeviceChanges(std::function<void(TDeviceChange)> onChange) {
    return std::make_unique<TDeviceChangeWatch>([this, onChange = std::move(onChange)](TDeviceChange change) {
        RunGuarded(*this, [&] { onChange(change); });
    });
}

void QtUiHost::Trace(const std::string& line) {
    qCDebug(lcKorvelTrace, "%s", line.c_str());
    if (TraceHook) TraceHook(line);
}

}  // namespace korvel
