#include "link/device_change_watch.h"

#include <QSocketNotifier>
#include <QTimer>

#include "link/serial_device.h"

namespace korvel {

TDeviceChangeWatch::TDeviceChangeWatch(std::function<void(TDeviceChange)> onChange, std::optional<Source> source)
    : onChange_(std::move(onChange)) {
    if (source.value_or(Source::Kernel) == Source::Kernel) socket_ = TUeventSocket::Open();
    if (socket_) {
        notifier_ = new QSocketNotifier(static_cast<qintptr>(socket_->Fd()), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            Deliver(socket_->ReadChanges());
            // The kernel reaches this socket: the looks are no longer needed.
            if (socket_->Heard() && timer_ != nullptr) timer_->stop();
        });
    }
    // Looks every second as well until the kernel has spoken: in a container's namespace the
    // socket opens and binds, and is never told anything.
    presence_ = std::make_unique<TPortPresence>([] { return SerialDevice::ExistingPortNames(); });
    timer_ = new QTimer(this);
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, [this] { Deliver(presence_->Poll()); });
    timer_->start();
}

TDeviceChangeWatch::~TDeviceChangeWatch() {
    // The notifier goes before the socket it watches.
    delete notifier_;
    notifier_ = nullptr;
}

void TDeviceChangeWatch::Deliver(const std::vector<TDeviceChange>& changes) {
    // A burst (one adapter brings several ttys) needs one look per kind, not one per message.
    bool removal = false, arrival = false;
    for (TDeviceChange c : changes) (c == TDeviceChange::Removal ? removal : arrival) = true;
    if (removal) onChange_(TDeviceChange::Removal);
    if (arrival) onChange_(TDeviceChange::Arrival);
}

}  // namespace korvel
