// The port-selection dialog: the present ports in number order, each with its device and, for a
// USB adapter, its product and serial number; below them an address for a board behind a
// network serial server, with the last ones used to choose from. OK stays disabled until a port
// is selected or a valid address entered, so the dialog cannot be confirmed with nothing chosen.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "link/serial_ports.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace korvel {

inline constexpr const char* SELECT_PORT_CAPTION = "Connect using...";
inline constexpr const char* MSG_NO_PORTS = "Geen poorten gevonden: sluit de USB-adapter aan en open dit venster opnieuw.";
inline constexpr const char* ADDRESS_LABEL = "&Netwerk:";
inline constexpr const char* ADDRESS_HINT = "rfc2217://naam:poort";
inline constexpr const char* MSG_NO_ADAPTER = "Geen USB-adapter bij deze poorten: sluit hem aan en open dit venster opnieuw.";

class TSelectCOMPortForm : public QDialog {
    Q_OBJECT
public:
    // `current` (the selected port's name) starts selected when it is in the list; else a lone
    // port does.
    TSelectCOMPortForm(const TPortList& ports, const std::string& current, QWidget* owner);

    QTreeWidget* ListBox = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel
    QLabel* NoPortsLabel = nullptr;
    QComboBox* AddressBox = nullptr;  // editable; `current` fills it when it is an address

    // The addresses offered in AddressBox's list, most recent first.
    void SetRecentAddresses(const std::vector<std::string>& addresses);
    QLabel* NoAdapterLabel = nullptr;  // ports, but none with a USB device behind it

    void ListBoxDblClick();
    // The selected port's name, or the address entered (written as the tool writes addresses);
    // "" when neither.
    std::string SelectedPort() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildAddressRow(const std::string& current, int width);
    void SetAllowances();
};

}  // namespace korvel
