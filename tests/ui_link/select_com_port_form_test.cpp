// The port-selection dialog on its own, and the watch that tells the detector about ports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "link/device_change_watch.h"
#include "link/select_com_port_form.h"
#ifndef _WIN32
#include "support/fake_sysfs.h"
#endif

namespace korvel {
namespace {

const TPortList kPorts = {
    {"COM2", 2, "/dev/ttyS1", ""},
    {"COM3", 3, "/dev/ttyS2", ""},
    {"COM33", 33, "/dev/ttyUSB0", "FT232R USB UART, serienummer A50285BI"},
    {"COM34", 34, "/dev/ttyUSB1", "FT232R USB UART, serienummer A9Q1XZ7C"},
};

QStringList Row(const QTreeWidget* list, int i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    return {item->text(0), item->text(1), item->text(2), item->data(0, Qt::UserRole).toString()};
}

TEST(SelectCOMPortForm, ShowsEachPortBesideItsDeviceAndAdapterAndConfirmsADoubleClick) {
    TSelectCOMPortForm f(kPorts, "COM2", nullptr);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Connect using..."));
    ASSERT_EQ(f.ListBox->topLevelItemCount(), 4);
    EXPECT_EQ(Row(f.ListBox, 0), (QStringList{"COM2", "/dev/ttyS1", "", "2"}));
    EXPECT_EQ(Row(f.ListBox, 3),
              (QStringList{"COM34", "/dev/ttyUSB1", "FT232R USB UART, serienummer A9Q1XZ7C", "34"}));
    EXPECT_EQ(f.ListBox->toolTip() + "|" + f.ListBox->statusTip(),
              QStringLiteral("Port|Double-click the port that has the USB in it."));
    EXPECT_EQ(f.height(), 228);  // the list, the network address, the buttons
    // Wide enough that every column shows whole.
    int columns = 0;
    for (int c = 0; c < 3; ++c) {
        EXPECT_GE(f.ListBox->columnWidth(c), f.fontMetrics().horizontalAdvance(f.ListBox->topLevelItem(3)->text(c)));
        columns += f.ListBox->columnWidth(c);
    }
    EXPECT_LE(columns, f.ListBox->width());

    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const QPoint at = f.ListBox->visualItemRect(f.ListBox->topLevelItem(2)).center();
    QTest::mouseClick(f.ListBox->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f.ListBox->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(f.result(), QDialog::Accepted);
    EXPECT_EQ(f.SelectedPort(), "COM33");
}

// What the engineer can and cannot confirm: OK only with a port selected.
TEST(SelectCOMPortForm, ConfirmsOnlyWithAPortSelected) {
    struct Row {
        const char* what;
        TPortList ports;
        const char* current;
        const char* preselected;  // "" none
        bool noPortsNote;
        bool noAdapterNote = false;
    } rows[] = {
        {"no ports", {}, "", "", true},
        {"current port not present", kPorts, "COM5", "", false},
        {"current port present", kPorts, "COM33", "COM33", false},
        {"a device path given is listed, chosen", kPorts, "/dev/pts/3", "/dev/pts/3", false},
        {"and so with a lone port beside it", {kPorts[2]}, "/dev/pts/3", "/dev/pts/3", false},
        {"a listed port's device given is its row", kPorts, "/dev/ttyUSB1", "COM34", false},
        {"a lone port is taken", {kPorts[2]}, "", "COM33", false},
        {"only the machine's own ports", {kPorts[0], kPorts[1]}, "COM3", "COM3", false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TSelectCOMPortForm f(r.ports, r.current, nullptr);
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        EXPECT_EQ(f.SelectedPort(), r.preselected);
        EXPECT_EQ(f.BitBtn1->isEnabled(), *r.preselected != '\0');
        EXPECT_EQ(f.NoPortsLabel->isVisible(), r.noPortsNote);
        EXPECT_EQ(f.NoAdapterLabel->isVisible(), r.noAdapterNote);
        if (r.noPortsNote) {
            EXPECT_EQ(f.NoPortsLabel->text().toStdString(), MSG_NO_PORTS);
        }
        QTest::keyClick(f.ListBox, Qt::Key_Return);
        EXPECT_EQ(f.isVisible(), *r.preselected == '\0');  // Enter confirms only a selection
        f.reject();
    }
}

// The list has the keys from the start: arrows move the selection, with or without one to begin.
TEST(SelectCOMPortForm, ArrowKeysMoveTheSelection) {
    for (const std::string current : {"COM3", ""}) {
        SCOPED_TRACE(current);
        TSelectCOMPortForm f(kPorts, current, nullptr);
        f.show();
        QApplication::setActiveWindow(&f);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
        EXPECT_EQ(QApplication::focusWidget(), f.ListBox);
        QTest::keyClick(f.ListBox, Qt::Key_Down);
        EXPECT_EQ(f.SelectedPort(), current.empty() ? "COM2" : "COM33");
        QTest::keyClick(f.ListBox, Qt::Key_End);
        QTest::keyClick(f.ListBox, Qt::Key_Up);
        EXPECT_EQ(f.SelectedPort(), "COM33");
        EXPECT_TRUE(f.BitBtn1->isEnabled());
    }
}

// The addresses used before are offered without taking the chosen port's place.
TEST(SelectCOMPortForm, RecentAddressesLeaveTheChosenPortSelected) {
    TSelectCOMPortForm f(kPorts, "COM3", nullptr);
    f.SetRecentAddresses({"rfc2217://ketel:7000"});
    EXPECT_EQ(f.SelectedPort(), "COM3");
    EXPECT_EQ(f.AddressBox->currentText(), "");
}

// The address last used, picked again by keyboard from the recent ones, is the one choice: a lone
// port beside it is not selected.
TEST(SelectCOMPortForm, AnAddressPickedByKeyboardIsWhatOkTakes) {
    TSelectCOMPortForm f({kPorts[0]}, "rfc2217://localhost:7000", nullptr);
    f.SetRecentAddresses({"rfc2217://localhost:7000"});
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_N, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(f.AddressBox->view(), Qt::Key_Return);
    EXPECT_EQ(f.AddressBox->currentText(), "rfc2217://localhost:7000");
    EXPECT_TRUE(f.ListBox->selectedItems().isEmpty());
    EXPECT_EQ(f.SelectedPort(), "rfc2217://localhost:7000");
}

// A port or a network address, whichever was touched last; OK only for a well-formed address.
TEST(SelectCOMPortForm, TakesANetworkAddressInsteadOfAPort) {
    TSelectCOMPortForm f(kPorts, "rfc2217://ketel:7000", nullptr);
    f.SetRecentAddresses({"rfc2217://ketel:7000", "tcp://10.0.0.5:4001"});
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.AddressBox->count(), 2);
    EXPECT_EQ(f.SelectedPort(), "rfc2217://ketel:7000");
    EXPECT_TRUE(f.BitBtn1->isEnabled());
    const struct {
        const char* typed;
        const char* selected;
    } rows[] = {{"RFC2217://[::1]:7000", "rfc2217://[::1]:7000"}, {"tcp://ketel", ""}, {"rfc2217://ketel:0", ""}};
    for (const auto& r : rows) {
        f.AddressBox->setEditText(QString::fromLatin1(r.typed));
        EXPECT_EQ(f.SelectedPort(), r.selected) << r.typed;
        EXPECT_EQ(f.BitBtn1->isEnabled(), *r.selected != '\0') << r.typed;
    }
    f.ListBox->setCurrentItem(f.ListBox->topLevelItem(2));
    EXPECT_EQ(f.AddressBox->currentText(), "");
    EXPECT_EQ(f.SelectedPort(), "COM33");
    f.AddressBox->setCurrentIndex(1);
    EXPECT_EQ(f.SelectedPort(), "tcp://10.0.0.5:4001");
    EXPECT_TRUE(f.ListBox->selectedItems().isEmpty());
    QTest::keyClick(f.AddressBox->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(f.result(), QDialog::Accepted);
}

#ifndef _WIN32
// Without the kernel's notifications the watch looks every second; with a kernel socket too, until
// the kernel has spoken: in a container's network namespace the socket opens and binds, and is
// never told anything (nor is this test's, of a fake sysfs tree).
TEST(DeviceChangeWatch, WithoutTheKernelsNotificationsItLooksEverySecond) {
    for (const auto source : {TDeviceChangeWatch::Source::Polling, TDeviceChangeWatch::Source::Kernel}) {
        test::FakeSysfs sys;
        std::vector<TDeviceChange> seen;
        TDeviceChangeWatch watch([&](TDeviceChange c) { seen.push_back(c); }, source);
        EXPECT_EQ(watch.ActiveSource(), TDeviceChangeWatch::Source::Polling);
        QTest::qWait(1200);
        EXPECT_TRUE(seen.empty());  // taking stock is no change

        sys.AddUsbTty("ttyUSB0", "1-1", "0403", "6001", "A1");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }, 3000));
        EXPECT_EQ(seen, std::vector<TDeviceChange>{TDeviceChange::Arrival});
        sys.Remove("ttyUSB0");
        EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }, 3000));
        EXPECT_EQ(seen.back(), TDeviceChange::Removal);
    }
}
#endif

}  // namespace
}  // namespace korvel
