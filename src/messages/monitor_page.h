// Content of the monitor tab "&Meekijken": the live values of the board's real-time reports.
#pragma once

#include <QWidget>
#include <string_view>

#include "widgets/field_builders.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace korvel {

class TMonitorPage : public QWidget {
    Q_OBJECT
public:
    explicit TMonitorPage(QWidget* parent = nullptr);

    // The field with this component name, or nullptr.
    QWidget* Field(std::string_view name) const;

    QGroupBox* KorvelStateBox = nullptr;  // "KORVEL bedrijfsstand"
    QGroupBox* C2EBox = nullptr;          // "Toshiba"
    QGroupBox* OpenThermBox = nullptr;    // "OpenTherm"
    QGroupBox* ErrorBox = nullptr;        // "Foutmeldingen"
    QGroupBox* DipSwitchABox = nullptr;   // "DIP switch A"
    QGroupBox* DipSwitchBBox = nullptr;   // "DIP switch B"
    QPushButton* btnShowAdvancedViewer = nullptr;  // "Geavanceerd"
    QLabel* lblStale = nullptr;  // says the values are the last of an ended connection

private:
    TFieldIndex FFields;
};

}  // namespace korvel
