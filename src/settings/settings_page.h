// Content of the settings tab "&Instellingen": the everyday parameters, the heating and cooling
// curves and the test modes, with the buttons of the settings actions.
#pragma once

#include <QWidget>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace korvel {

class TCurvePreview;
class TRadioGroup;
class TStookLijnFrame;
class TNumericField;
class UiHost;

class TSettingsPage : public QWidget {
    Q_OBJECT
public:
    // The buttons carry these actions, in this order, before "Geavanceerd". host tells the user
    // what went wrong saving the curves' picture.
    TSettingsPage(UiHost& host, QAction* getSettings, QAction* setSettings, QAction* defaultSettings, QAction* flash,
                  QWidget* parent = nullptr);

    QFrame* ServiceBox = nullptr;
    QPushButton* btnShowAdvancedSettings = nullptr;
    QLabel* lblChanges = nullptr;  // how many changes are not written, beside the buttons
    QGroupBox* GeneralBox = nullptr;  // "Algemeen"
    QGroupBox* HeatingBox = nullptr;  // "Verwarmen"
    QGroupBox* CoolingBox = nullptr;  // "Koelen"
    QGroupBox* CurvesBox = nullptr;   // "Stook- en koellijnen"
    TStookLijnFrame* StooklijnCool = nullptr;
    TStookLijnFrame* StooklijnRH = nullptr;
    TStookLijnFrame* StooklijnRL = nullptr;
    TStookLijnFrame* StooklijnFH = nullptr;
    TStookLijnFrame* StooklijnFL = nullptr;
    TRadioGroup* rgTestmode = nullptr;
    TNumericField* onfRadiatorDrop = nullptr;
    TCurvePreview* CurvePreview = nullptr;  // the five curves as drawn from the grid
    // The room at the bottom right, beside the test modes, where the curves are drawn.
    QRect SpareArea() const;
};

// The count of changes not written, as both settings windows show it (hidden while there are none).
QLabel* MakeChangeCount(QWidget* parent);

}  // namespace korvel
