// The port-selection dialog: the present ports in number order, each with its device and, for a
// USB adapter, its product and serial number. OK stays disabled until a port is selected, so
// the dialog cannot be confirmed with nothing chosen.
#pragma once

#include <QDialog>
#include <string>

#include "link/serial_ports.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace korvel {

inline constexpr const char* SELECT_PORT_CAPTION = "Connect using...";
inline constexpr const char* MSG_NO_PORTS = "Geen poorten gevonden: sluit de USB-adapter aan en open dit venster opnieuw.";
inline constexpr const char* MSG_NO_ADAPTER = "Geen USB-adapter bij deze poorten: sluit hem aan en open dit venster opnieuw.";

class TSelectCOMPortForm : public QDialog {
    Q_OBJECT
public:
    // `current` (the selected port's name) starts selected when it is in the list.
    TSelectCOMPortForm(const TPortList& ports, const std::string& current, QWidget* owner);

    QTreeWidget* ListBox = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel
    QLabel* NoPortsLabel = nullptr;
    QLabel* NoAdapterLabel = nullptr;  // ports, but none with a USB device behind it

    void ListBoxDblClick();
    std::string SelectedPort() const;  // name of the selected port; "" when none

private:
    void SetAllowances();
};

}  // namespace korvel
