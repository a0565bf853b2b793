// Tool window "Geavanceerd" with the controller's internal quantities.
#pragma once

#include <QWidget>

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

    QLabel* lblTitle = nullptr;
    QGroupBox* WeatherBox = nullptr;  // "Weersafhankelijke regeling"
    QGroupBox* RoomBox = nullptr;     // no caption
    QGroupBox* ModBusBox = nullptr;   // "ModBus gegevens"
};

}  // namespace korvel
