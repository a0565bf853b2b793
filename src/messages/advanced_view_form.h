// Tool window "Geavanceerd" with the controller's internal quantities.
#pragma once

#include <QWidget>
#include <string_view>

#include "widgets/field_builders.h"

class QGroupBox;
class QLabel;

namespace korvel {

class TAdvancedViewForm : public QWidget {
    Q_OBJECT
public:
    explicit TAdvancedViewForm(QWidget* parent = nullptr);

    // Opens the window from the monitor tab: an open window only comes to the front; a hidden
    // one takes the main window's caption and is shown, non-modal.
    void ShowFrom(const QString& mainCaption);

    // The field with this component name, or nullptr.
    QWidget* Field(std::string_view name) const;

    QLabel* lblTitle = nullptr;
    QLabel* lblStale = nullptr;  // says the values are the last of an ended connection
    QLabel* lblFaults = nullptr;  // the faults the last report showed, in red; hidden without one
    QGroupBox* WeatherBox = nullptr;  // "Weersafhankelijke regeling"
    QGroupBox* RoomBox = nullptr;     // no caption
    QGroupBox* ModBusBox = nullptr;   // "ModBus gegevens"

private:
    TFieldIndex FFields;
};

}  // namespace korvel
