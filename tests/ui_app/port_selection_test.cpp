// Choosing the port from the window, and the adapter going and coming back: the engineer only
// presses "Verbinding maken" again.
#include <sys/resource.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "app/status_strip.h"
#include "board_sim.h"
#include "link/select_com_port_form.h"
#include "support/fake_sysfs.h"
#include "ui_app/main_form_fixture.h"

namespace korvel::test {
namespace {

std::string Found(const std::string& port) { return "Compatibele aansluiting gevonden op " + port + " ."; }

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class PortSelectionTest : public MainFormTest {
protected:
    void SetUp() override {
        BeforeTheWindow();
        MainFormTest::SetUp();
        // Boxes the window posts for later, and the dialog, need Qt's own events.
        host.OnProcessEvents = [] { QCoreApplication::processEvents(); };
    }
    virtual void BeforeTheWindow() {}

    // The next port dialog gets `answer`, which must close it; a dialog left open fails the test.
    // Without an answer, a dialog that opens is refused.
    void AnswerDialog(std::function<void(TSelectCOMPortForm&)> answer) {
        dialogsSeen = 0;
        QTimer::singleShot(0, form.get(), [this, answer] {
            auto* dialog = qobject_cast<TSelectCOMPortForm*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                if (answer) ADD_FAILURE() << "no port dialog";
                return;
            }
            ++dialogsSeen;
            if (!answer) {
                ADD_FAILURE() << "port dialog opened";
                dialog->reject();
                return;
            }
            seenRows = dialog->ListBox->topLevelItemCount();
            answer(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dialog->reject();
            }
        });
    }
    static void Choose(TSelectCOMPortForm& d, const char* port) {
        const auto items = d.ListBox->findItems(QString::fromLatin1(port), Qt::MatchExactly, 0);
        ASSERT_EQ(items.size(), 1) << port;
        d.ListBox->setCurrentItem(items.first());
        d.BitBtn1->click();
    }
    bool Connected() const { return form->CommsDataModule->ConnectionState() == csConnected; }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> out;
        for (const auto& b : host.Boxes()) out.push_back(b.text);
        return out;
    }

    FakeSysfs sys;
    int dialogsSeen = 0;
    int seenRows = -1;
};

TEST_F(PortSelectionTest, EndingTheDialogWithoutAChoiceChangesNothing) {
    sys.AddTty("ttyS1");  // two ports: a lone one would start selected
    sys.AddTty("ttyS7", DevName(peer.Path()));
    struct Row {
        const char* what;
        std::function<void(TSelectCOMPortForm&)> answer;
    } rows[] = {
        {"Cancel with a port selected", [](TSelectCOMPortForm& d) {
             d.ListBox->setCurrentItem(d.ListBox->topLevelItem(0));
             d.BitBtn2->click();
         }},
        {"window closed", [](TSelectCOMPortForm& d) { d.close(); }},
        {"OK with nothing selected", [](TSelectCOMPortForm& d) {
             EXPECT_FALSE(d.BitBtn1->isEnabled());
             d.BitBtn1->click();  // disabled: no effect
             EXPECT_TRUE(d.isVisible());
             d.accept();  // even an accept without a selection chooses nothing
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        AnswerDialog(r.answer);
        form->PortOptionsAction->trigger();
        EXPECT_EQ(dialogsSeen, 1);
        EXPECT_EQ(form->CommsDataModule->ZylSerialPort.GetPort(), spNone);
        EXPECT_FALSE(Connected());
        EXPECT_TRUE(form->PortOptionsAction->isEnabled());
        EXPECT_TRUE(host.Boxes().empty());
    }
}

TEST_F(PortSelectionTest, FailingConnectShowsThePortErrorAndKeepsThePort) {
    sys.AddTty("ttyS1", "korvel-missing");  // listed, but no device behind it
    AnswerDialog([](TSelectCOMPortForm& d) { Choose(d, "COM161"); });
    form->PortOptionsAction->trigger();
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(host.Boxes()[0].text,
              "Cannot connect to COM161 . No such file or directory\n"
              "/dev/korvel-missing is er niet: sluit de USB-adapter aan of kies met \"Com poort...\" een poort die er "
              "wel is.");
    EXPECT_EQ(form->CommsDataModule->ZylSerialPort.PortName(), "COM161");
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_TRUE(form->PortOptionsAction->isEnabled());
    EXPECT_TRUE(form->ConnectAction->isEnabled());
}

TEST_F(PortSelectionTest, ConnectWithNoPortChosenAsksForOneAndConnectsItWatching) {
    sys.AddTty("ttyS1");
    sys.AddTty("ttyS7", DevName(peer.Path()));  // COM161
    AnswerDialog([](TSelectCOMPortForm& d) { Choose(d, "COM161"); });
    form->ConnectAction->trigger();
    EXPECT_EQ(dialogsSeen, 1);
    EXPECT_EQ(seenRows, 2);
    EXPECT_EQ(form->CommsDataModule->ZylSerialPort.PortName(), "COM161");
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(form->ModeSnifAction->isChecked());
    EXPECT_FALSE(form->PortOptionsAction->isEnabled());
    EXPECT_TRUE(form->DisconnectAction->isEnabled());
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_TRUE(peer.Blocks().empty());  // connecting sends nothing

    // With a port chosen it connects straight away.
    form->DisconnectAction->trigger();
    AnswerDialog(nullptr);
    form->ConnectAction->trigger();
    EXPECT_TRUE(Connected());
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogsSeen, 0);
}

// A first start without the adapter says what to do, and the advice follows the adapter.
TEST_F(PortSelectionTest, WithoutAnAdapterTheStripSaysToPlugItInOrChooseAPort) {
    const std::string advice = std::string(MSG_STATUS_DISCONNECTED) + " " + MSG_STATUS_NO_ADAPTER;
    const auto label = [this] { return form->ProgressLabel->text().toStdString(); };
    EXPECT_EQ(label(), advice);
    sys.AddUsbTty("ttyUSB0", "1-1", "0403", "6001", "A50285BI");
    host.DeviceChange(TDeviceChange::Arrival);
    // A port to open is named, with the command that opens it.
    const auto chosen = [](const char* port) {
        return std::string(MSG_STATUS_DISCONNECTED) + " " + QString::fromUtf8(MSG_STATUS_PORT_CHOSEN).arg(port).toStdString();
    };
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{Found("COM33")});
    EXPECT_EQ(label(), chosen("COM33 (/dev/ttyUSB0)"));
    sys.Remove("ttyUSB0");
    host.DeviceChange(TDeviceChange::Removal);
    EXPECT_EQ(label(), advice);  // COM33 is still the chosen port, but it is gone
    sys.AddTty("ttyS1");
    form->CommsDataModule->ZylSerialPort.SetPort(static_cast<TCommPort>(2));
    form->SetAllowances();
    EXPECT_EQ(label(), chosen("COM2 (/dev/ttyS1)"));
}

// The dialog starts on the chosen port, a device path too, else on the adapter that was found.
TEST_F(PortSelectionTest, PortDialogStartsOnTheChosenPortOrTheAdapter) {
    sys.AddTty("ttyS1");
    sys.AddUsbTty("ttyUSB0", "1-1", "0403", "6001", "A50285BI");
    host.DeviceChange(TDeviceChange::Arrival);
    auto& port = form->CommsDataModule->ZylSerialPort;
    for (const bool listed : {true, false}) {
        if (listed) {
            port.SetPort(static_cast<TCommPort>(2));
        } else {
            port.SetCustomPortName("/dev/korvel-elsewhere");
            port.SetPort(spCustom);
        }
        std::string preselected;
        AnswerDialog([&preselected](TSelectCOMPortForm& d) {
            preselected = d.SelectedPort();
            d.reject();
        });
        form->PortOptionsAction->trigger();
        EXPECT_EQ(preselected, listed ? "COM2" : "/dev/korvel-elsewhere");
    }
}

// The adapter is present at start-up, pulled, and plugged back in; the stand-in plays the board
// behind it, a pty hang-up is the pull, the fake sysfs tree the plug.
class AdapterCycleTest : public PortSelectionTest {
protected:
    void BeforeTheWindow() override {
        sim::BoardSimOptions o;
        o.program = true;  // the switch at PROGRAM: its loader takes firmware
        o.reportMs = 100;
        board = std::make_unique<sim::BoardSim>(o);
        sys.AddUsbTty("ttyUSB0", "1-1", "0403", "6001", "A50285BI", "FT232R USB UART", DevName(board->Start()));
    }
    void Plug(const char* tty, const char* bus) {
        sim::BoardSimOptions o;
        o.program = true;  // the switch at PROGRAM: its loader takes firmware
        o.reportMs = 100;
        board = std::make_unique<sim::BoardSim>(o);
        sys.AddUsbTty(tty, bus, "0403", "6001", "A50285BI", "FT232R USB UART", DevName(board->Start()));
        host.DeviceChange(TDeviceChange::Arrival);
    }
    void CountBlocks() {
        auto window = form->CommsDataModule->OnDatablock;
        form->CommsDataModule->OnDatablock = [this, window](TCommsDataModule* s, int32_t size, const uint8_t* data) {
            ++blocks;
            window(s, size, data);
        };
    }
    bool ValuesFlow() {
        const int before = blocks;
        return host.PumpUntil([&] { return blocks >= before + 2; }, 5000);
    }

    std::unique_ptr<sim::BoardSim> board;
    int blocks = 0;
};

TEST_F(AdapterCycleTest, PulledAndPluggedBackTheEngineerOnlyConnects) {
    struct Row {
        const char* what;
        bool duringDownload;
        bool otherPort;  // back with another name, so the engineer is told which
    } rows[] = {
        {"pulled while watching, back on the same port", false, false},
        {"pulled during a firmware download, back on another port", true, true},
    };
    CountBlocks();
    // Found before the window showed.
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{Found("COM161")});
    EXPECT_EQ(form->CommsDataModule->ZylSerialPort.PortName(), "COM161");
    std::string port = "COM161";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        host.ClearRecords();
        form->ConnectAction->trigger();
        ASSERT_TRUE(Connected()) << (host.Boxes().empty() ? "" : host.Boxes().back().text);
        ASSERT_TRUE(ValuesFlow());

        const auto start = std::chrono::steady_clock::now();
        if (r.duringDownload) {
            sim::BoardSim* pulled = board.get();
            auto hook = host.OnProcessEvents;
            host.OnProcessEvents = [pulled, hook, done = false]() mutable {
                hook();
                if (!done && pulled->LoaderChunksReceived() >= 20) {
                    pulled->HangUp();
                    done = true;
                }
            };
            form->Guarded([&] { form->FlashActionExecute(KORVEL_TEST_DATA "/firmware/srec_cat_full.a43"); });
            host.OnProcessEvents = hook;
            EXPECT_TRUE(form->isEnabled());
        } else {
            board->HangUp();
        }
        sys.Remove("ttyUSB0");
        sys.Remove("ttyUSB1");
        host.DeviceChange(TDeviceChange::Removal);
        ASSERT_TRUE(host.PumpUntil([&] { return form->ConnectAction->isEnabled() && !host.Boxes().empty(); }, 5000));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(r.duringDownload ? 20 : 3));
        // Once, and in the words of what was going on.
        const std::string lost = r.duringDownload
                                     ? "De verbinding met het KORVEL bord is verbroken tijdens het flashen van de firmware."
                                     : MSG_LINE_LOST;
        host.PumpUntil([] { return false; }, 200);
        const std::vector<std::string> boxes = BoxTexts();
        EXPECT_EQ(boxes.back(), lost);
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), lost), 1);
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), std::string(MSG_LINE_LOST)), r.duringDownload ? 0 : 1);
        EXPECT_FALSE(form->DisconnectAction->isEnabled());
        EXPECT_TRUE(form->ModeSnifAction->isChecked());

        // Pulled, nothing may keep a core busy.
        const double cpu = CpuSeconds();
        const auto idleFrom = std::chrono::steady_clock::now();
        host.PumpUntil([] { return false; }, 1000);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - idleFrom).count();
        EXPECT_LT(CpuSeconds() - cpu, 0.3 * wall);

        host.ClearRecords();
        if (r.otherPort) {
            sys.AddTty("ttyS9", "korvel-elsewhere");  // takes COM161, so the adapter comes back as COM162
            port = "COM162";
            Plug("ttyUSB1", "1-3");
            EXPECT_EQ(BoxTexts(), std::vector<std::string>{Found(port)});
        } else {
            Plug("ttyUSB0", "1-1");
            EXPECT_TRUE(host.Boxes().empty());  // the same port is still the chosen one
        }
        EXPECT_EQ(form->CommsDataModule->ZylSerialPort.PortName(), port);
        EXPECT_FALSE(Connected());  // an arrival never connects by itself
    }
    form->ConnectAction->trigger();
    ASSERT_TRUE(Connected());
    EXPECT_TRUE(ValuesFlow());
}

// Plugged back in before the tool noticed the pull: the arrival came while it still counted
// itself connected, and is taken once the line is found lost.
TEST_F(AdapterCycleTest, BackBeforeThePullWasNoticed) {
    form->ConnectAction->trigger();
    ASSERT_TRUE(Connected());
    host.ClearRecords();
    sys.Remove("ttyUSB0");
    sys.AddTty("ttyS9", "korvel-elsewhere");  // takes COM161, so the adapter comes back as COM162
    Plug("ttyUSB1", "1-3");                   // its old stand-in goes: the hang-up follows the arrival
    ASSERT_TRUE(host.PumpUntil([&] { return form->ConnectAction->isEnabled(); }, 5000));
    host.PumpUntil([] { return false; }, 200);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{MSG_LINE_LOST, Found("COM162")}));
    EXPECT_EQ(form->CommsDataModule->ZylSerialPort.PortName(), "COM162");
    form->ConnectAction->trigger();
    EXPECT_TRUE(Connected());
}

}  // namespace
}  // namespace korvel::test
