// The traffic window, the capture file of the main window, and a capture played back into it.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QToolBar>
#include <filesystem>
#include <set>

#include "app/program_start.h"
#include "capture/pcapng.h"
#include "capture/traffic_form.h"
#include "capture/wire_splitter.h"
#include "comms/frame_codec.h"
#include "messages/message_ids.h"
#include "messages/realtime_report.h"
#include "ui_app/main_form_fixture.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto In = TLineDirection::Inbound;

Bytes Report(uint8_t state) {
    Bytes r(REALTIME_REPORT_SIZE, 0);
    r[0] = K2MSENDMONDATA;
    r[48] = state;
    return r;
}
Bytes Frame(const Bytes& b) { return EncodeFrame(b.data(), static_cast<uint32_t>(b.size())); }

std::string TempFile(const char* name) { return (std::filesystem::path(::testing::TempDir()) / name).string(); }

class TrafficTest : public MainFormTest {
protected:
    // What the port's tap hands on reaches the window's list once the UI thread has run.
    void Arrive(const Bytes& wire) { form->CommsDataModule->LineRecord.Record(In, wire, CaptureNowUs()); }
    void Pump(size_t packets) {
        for (int i = 0; i < 200 && form->TrafficLog.Size() < packets; ++i) {
            host.ProcessEvents(5);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
    }
    TTrafficForm* Open() {
        form->TrafficAction->trigger();
        return form->TrafficForm.get();
    }
    QString Cell(TTrafficForm* t, int row, int column, int role = Qt::DisplayRole) {
        return t->Model->data(t->Model->index(row, column), role).toString();
    }
};

TEST_F(TrafficTest, EachBlockWithItsTimeDirectionNameLengthAndMeaningDamagedInRed) {
    Connect();
    peer.Send(Report(2));  // through the port itself
    Pump(1);
    ASSERT_EQ(form->TrafficLog.Size(), 1u);
    const uint8_t go[] = {P2KSETCOMMAND};
    form->CommsDataModule->SendBlock(go, 1);  // out through the port
    Arrive(EncodeFrame(Bytes{K2PRSETNVM}.data(), 1));
    Arrive({0xFF, 0x10, 0x02, 0x3F, 0x41, 0x10, 0x10, 0x10, 0x03});
    Pump(4);
    TTrafficForm* t = Open();
    ASSERT_EQ(t->Model->rowCount(), 4);
    const QStringList expected[] = {
        {"bord → PC", "16 KORVEL to Monitoring", "112", "Bedrijfsstand: 2 - Gereed om te verwarmen of koelen"},
        {"PC → bord", "160 PC to KORVEL: Go to service mode.", "1", "Servicestand: de PC vraagt het bord in de servicestand"},
        {"bord → PC", "37 K2PRSETNVM", "1", "Beantwoord"},
        {"bord → PC", "63 Message ID not recognised", "1", "Blok met een foute controlewaarde (0x1041 ontvangen, 0x1040 berekend); Onbekend bericht"},
    };
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(QStringList({Cell(t, row, 1), Cell(t, row, 2), Cell(t, row, 3), Cell(t, row, 4)}), expected[row]);
        EXPECT_EQ(Cell(t, row, 0).size(), 12);  // 14:05:09.123
        EXPECT_EQ(t->Model->data(t->Model->index(row, 4), Qt::ForegroundRole).isValid(), row == 3);
    }
}

TEST_F(TrafficTest, ReportsHideOnOneSwitchAndPauseHoldsTheList) {
    TTrafficForm* t = Open();
    Arrive(Frame(Report(1)));
    Arrive(Frame({K2PGETCOMMAND}));
    Pump(2);
    EXPECT_EQ(t->Model->rowCount(), 2);
    t->SetHideReports(true);
    EXPECT_EQ(t->Model->rowCount(), 1);
    t->SetPaused(true);
    Arrive(Frame({K2PGETCOMMAND}));
    Pump(3);
    EXPECT_EQ(t->Model->rowCount(), 1);
    t->SetPaused(false);
    EXPECT_EQ(t->Model->rowCount(), 2);
    EXPECT_EQ(t->CountLabel->text(), QStringLiteral("2 getoond, 3 bewaard"));
}

TEST_F(TrafficTest, FitsTheSmallScreenWithALetterForEveryCommand) {
    TTrafficForm* t = Open();
    EXPECT_LE(t->width(), 1024);
    EXPECT_LE(t->height(), 768);
    std::set<QChar> letters;
    for (QAction* a : t->ToolBar->actions()) {
        if (a->isSeparator()) continue;
        const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << a->text().toStdString();
        EXPECT_TRUE(letters.insert(a->text().at(amp + 1).toLower()).second) << a->text().toStdString();
    }
}

// The window's capture: named in the strip while it runs, each packet in the file as it happens.
TEST_F(TrafficTest, StartAndStopCaptureWritesTheLineToTheFileShownInTheStrip) {
    const std::string path = TempFile("window.pcapng");
    form->StartCaptureActionAccept(QString::fromStdString(path));
    EXPECT_FALSE(form->CaptureLabel->isHidden());
    EXPECT_EQ(form->CaptureLabel->text(), QStringLiteral("Opname: window.pcapng"));
    EXPECT_FALSE(form->StartCaptureAction->isEnabled());
    Connect();
    peer.Send(Report(3));
    Pump(1);
    EXPECT_EQ(ReadCaptureFile(path).Packets.size(), 1u);  // before the stop
    form->StopCaptureAction->trigger();
    EXPECT_TRUE(form->CaptureLabel->isHidden());
    EXPECT_TRUE(form->StartCaptureAction->isEnabled());
    const TCaptureReadResult read = ReadCaptureFile(path);
    ASSERT_TRUE(read.Ok()) << read.Error;
    EXPECT_EQ(read.Interfaces, std::vector<std::string>{peer.Path()});
    EXPECT_EQ(UnframeWire(read.Packets.at(0).Wire), Report(3));
    std::filesystem::remove(path);
}

TEST_F(TrafficTest, ACaptureSavedFromTheListOpensWithoutABoardAndADamagedOneIsRefused) {
    TTrafficForm* t = Open();
    Arrive(Frame(Report(4)));
    Arrive({0x41, 0x42});
    Pump(2);
    const std::string path = TempFile("saved.pcapng");
    ASSERT_TRUE(t->SaveCapture(QString::fromStdString(path)));
    TTrafficForm* file = TTrafficForm::OpenCapture(QString::fromStdString(path), host, form.get());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->windowTitle(), QStringLiteral("Verkeer - saved.pcapng"));
    ASSERT_EQ(file->Model->rowCount(), 2);
    EXPECT_EQ(Cell(file, 0, 4), QStringLiteral("Bedrijfsstand: 4 - Buitenunit + ketel"));
    EXPECT_EQ(Cell(file, 1, 4), QStringLiteral("Bytes buiten een frame (ruis)"));
    EXPECT_FALSE(file->PauseAction->isVisible());
    file->close();

    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3);
    EXPECT_EQ(TTrafficForm::OpenCapture(QString::fromStdString(path), host, form.get()), nullptr);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_NE(host.Boxes()[0].text.find("is geweigerd: het bestand houdt op midden in blok 4"), std::string::npos)
        << host.Boxes()[0].text;
    std::filesystem::remove(path);
}

// korvel-service --replay: recordings made against the stand-in, by the stand-in and by the
// window, show the same values on the monitor page as the board's reports carried.
TEST(ReplayIntoTheWindow, TheMonitorPageShowsTheRecordedValues) {
    const std::string boardCapture = TempFile("replay-board.pcapng"), windowCapture = TempFile("replay-window.pcapng");
    {
        sim::BoardSimOptions o;
        o.reportMs = 100;
        o.capture = boardCapture;
        sim::BoardSim board(o);
        TProgram program(TProgramOptions{});
        PreselectPort(program.Form->CommsDataModule->ZylSerialPort, board.Start());
        program.Form->StartCaptureActionAccept(QString::fromStdString(windowCapture));
        program.Form->ConnectActionExecute();
        for (int i = 0; i < 100 && ReadCaptureFile(windowCapture).Packets.size() < 4; ++i) program.Host.ProcessEvents(20);
    }
    for (const std::string& path : {boardCapture, windowCapture}) {
        SCOPED_TRACE(path);
        const TCaptureReadResult read = ReadCaptureFile(path);
        ASSERT_TRUE(read.Ok()) << read.Error;
        ASSERT_GE(read.Packets.size(), 4u);
        const Bytes last = UnframeWire(read.Packets.back().Wire);
        std::string ntc1;
        for (const TReportValue& v : DecodeRealtimeReport(last.data(), last.size()))
            if (v.Target == "onfNTC1") ntc1 = ReportValueText(v, QLocale().decimalPoint().at(0).toLatin1());

        TProgramOptions options;
        options.replay = std::make_shared<const sim::TReplayScript>(sim::BuildReplayScript(read.Packets));
        TProgram program(options);
        EXPECT_EQ(program.Form->windowTitle(), QStringLiteral("Korvel Service gereedschap (opname afspelen)"));
        program.Form->ConnectActionExecute();
        auto* field = program.Form->findChild<QLineEdit*>(QStringLiteral("onfNTC1"));
        // The list has a packet as it is read; the page once the UI thread has taken it.
        const auto behind = [&] {
            return program.Form->TrafficLog.Size() < read.Packets.size() || field->text().toStdString() != ntc1;
        };
        for (int i = 0; i < 200 && behind(); ++i) {
            program.Host.ProcessEvents(20);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(program.Form->TrafficLog.Size(), read.Packets.size());
        EXPECT_EQ(field->text().toStdString(), ntc1);
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace korvel::test
