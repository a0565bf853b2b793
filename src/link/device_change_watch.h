// The UI thread's watch on serial ports coming and going: the kernel's uevent socket under a
// socket notifier, and a look at the present ports every second where that socket cannot be had
// (a sandbox, another OS) or has not yet heard the kernel (a container's network namespace).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "host/ui_host.h"
#include "link/serial_ports.h"
#include "link/uevent_socket.h"

class QSocketNotifier;
class QTimer;

namespace korvel {

class TDeviceChangeWatch : public QObject, public DeviceChangeWatch {
    Q_OBJECT
public:
    enum class Source { Kernel, Polling };
    static constexpr int kPollMs = 1000;

    // Kernel notifications when they can be had, else polling; `source` forces one (tests).
    explicit TDeviceChangeWatch(std::function<void(TDeviceChange)> onChange, std::optional<Source> source = {});
    ~TDeviceChangeWatch() override;

    // Kernel once the kernel's socket has heard anything; until then the looks go on beside it.
    Source ActiveSource() const { return socket_ && socket_->Heard() ? Source::Kernel : Source::Polling; }

private:
    void Deliver(const std::vector<TDeviceChange>& changes);

    std::function<void(TDeviceChange)> onChange_;
    std::unique_ptr<TUeventSocket> socket_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unique_ptr<TPortPresence> presence_;
};

}  // namespace korvel
