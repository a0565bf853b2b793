#include "app/status_strip.h"

#include <QLabel>
#include <QTimer>

#include "host/ui_host.h"
#include "link/port_names.h"
#include "link/zyl_serial_port.h"
#include "messages/realtime_report.h"
#include "widgets/percentage_meter.h"

namespace korvel {

namespace {

// "COM33 (/dev/ttyUSB0)" where the tool's port name hides the device; a device path as it is.
QString PortText(const std::string& name) {
    QString text = QString::fromStdString(name);
    if (PortNumberFromName(name) == 0) return text;
    const std::string path = TZylSerialPort::DevicePath(name);
    if (!path.empty() && path.find(name) == std::string::npos)
        text += QStringLiteral(" (") + QString::fromStdString(path) + QLatin1Char(')');
    return text;
}

}  // namespace

TStatusStrip::TStatusStrip(QLabel* label, TPercentageMeter* meter, UiHost& host, std::function<TLinkState()> link,
                           QObject* parent)
    : QObject(parent), FLabel(label), FMeter(meter), FHost(host), FLink(std::move(link)), FTimer(new QTimer(this)) {
    FTimer->setInterval(1000);
    connect(FTimer, &QTimer::timeout, this, &TStatusStrip::Refresh);
}

void TStatusStrip::BeginOperation() {
    if (FOperations++ == 0) Clear();
}

void TStatusStrip::EndOperation() {
    if (FOperations == 0) return;
    if (--FOperations > 0) return;
    Clear();
    Refresh();
}

bool TStatusStrip::OperationRunning() const { return FOperations > 0 || !FMeter->isHidden(); }

void TStatusStrip::Clear() {
    FLabel->clear();
    FMeter->SetPercent(0);
    FMeter->hide();
}

void TStatusStrip::ShowProgress(uint32_t Progress, uint32_t MaxProgress, const std::string& Status) {
    const bool last = Status.empty() && MaxProgress == 0;
    if (!last && !FProgressReported) {
        FProgressReported = true;
        BeginOperation();
    }
    const QString status = QString::fromStdString(Status);
    if (MaxProgress > 0) {
        // Unsigned, as on the board's word size: 100 x 65535 still fits in 32 bits.
        FMeter->SetPercent(static_cast<int>((100u * Progress) / MaxProgress));
        FLabel->setText(status + QStringLiteral(": ") + QString::number(Progress));
        FMeter->show();
    } else {
        FLabel->setText(status);
        FMeter->hide();
    }
    if (last && FProgressReported) {
        FProgressReported = false;
        EndOperation();
    }
}

void TStatusStrip::BlockReceived(const uint8_t* Data, int32_t Size) {
    FLastBlockTick = FHost.TickCount();
    if (Data != nullptr && Data[0] == K2MSENDMONDATA) {
        const size_t bytes = ReceivedBlockBytes(Size);
        FShortReportBytes = bytes < REALTIME_REPORT_SIZE ? bytes : 0;
    }
    Refresh();
}

void TStatusStrip::Refresh() {
    const TLinkState link = FLink();
    if (link.Connected != FConnected) {
        FConnected = link.Connected;
        if (FConnected) {
            // The silence is counted from the connect until the first block.
            FLastBlockTick = FHost.TickCount();
            FShortReportBytes = 0;
            FPortText = PortText(link.Port);
            FTimer->start();
        } else {
            FTimer->stop();
        }
    }
    if (OperationRunning()) return;
    const QString text = LinkText(link);
    if (FLabel->text() != text) FLabel->setText(text);
}

QString TStatusStrip::LinkText(const TLinkState& link) const {
    if (link.Connecting) return QString::fromUtf8(MSG_STATUS_CONNECTING).arg(PortText(link.Port));
    if (!link.Connected) {
        // On a first start the engineer learns here what to do before anything else works.
        const QString disconnected = QString::fromUtf8(MSG_STATUS_DISCONNECTED) + QLatin1Char(' ');
        if (link.NothingToOpen) return disconnected + QString::fromUtf8(MSG_STATUS_NO_ADAPTER);
        if (!link.Port.empty()) return disconnected + QString::fromUtf8(MSG_STATUS_PORT_CHOSEN).arg(PortText(link.Port));
        return QString::fromUtf8(MSG_STATUS_DISCONNECTED);
    }
    QString text = QString::fromUtf8(MSG_STATUS_CONNECTED).arg(FPortText);
    const uint32_t silentMs = FHost.TickCount() - FLastBlockTick;
    QString state;
    if (silentMs >= STATUS_SILENT_AFTER_MS)
        state = QString::fromUtf8(MSG_STATUS_SILENT).arg(silentMs / 1000);
    else if (link.ServiceMode)
        state = QString::fromUtf8(link.ServiceConfirmed ? MSG_STATUS_SERVICE : MSG_STATUS_SERVICE_WAITING);
    else if (FShortReportBytes > 0)
        state = QString::fromUtf8(MSG_STATUS_SHORT_REPORTS).arg(FShortReportBytes).arg(REALTIME_REPORT_SIZE);
    if (!state.isEmpty()) text += QLatin1Char(' ') + state;
    return text;
}

}  // namespace korvel
