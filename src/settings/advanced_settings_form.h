// Tool window "Geavanceerde instellingen": the weather-dependent control's time constants and
// correction table, the minimum boiler times and the fixed start-up temperature. Opens only
// after the access code.
#pragma once

#include <QWidget>
#include <string>

class QGroupBox;
class QLabel;

namespace korvel {

class TTimeConstantsFrame;
class UiHost;

inline constexpr const char* ADVANCED_SETTINGS_CAPTION = "Geavanceerde instellingen";
inline constexpr const char* PIN_CODE = "70863";
inline constexpr const char* PIN_PROMPT = "Toegangscode ?";
inline constexpr const char* PIN_PREFILL = "-- voer de code in --";
inline constexpr const char* MSG_WRONG_PIN = "Deze toegangscode is niet juist.";
inline constexpr const char* MSG_ADVANCED_WARNING =
    "Let op:  Het wijzigen van deze instellingen kan de prestaties en de levensduur van het apparaat ernstig ten "
    "nadele beïnvloeden.";

class TAdvancedSettingsForm : public QWidget {
    Q_OBJECT
public:
    explicit TAdvancedSettingsForm(QWidget* parent = nullptr);

    QLabel* lblTitle = nullptr;
    QLabel* lblWarning = nullptr;
    QLabel* lblChanges = nullptr;  // how many changes are not written, in both windows
    QGroupBox* BoilerTimesBox = nullptr;
    QGroupBox* FixedTempBox = nullptr;
    QGroupBox* WeatherBox = nullptr;  // "Weersafhankelijke regeling"
    TTimeConstantsFrame* TimeConstantsRH = nullptr;
    TTimeConstantsFrame* TimeConstantsRL = nullptr;
    TTimeConstantsFrame* TimeConstantsFH = nullptr;
    TTimeConstantsFrame* TimeConstantsFL = nullptr;
};

// Asks the access code; true only for exactly the right one. A wrong one, an empty one or Cancel
// is told so.
bool AskPinCode(UiHost& host);

// The one instance, made by program start (null until then); settings code reaches it here.
extern TAdvancedSettingsForm* AdvancedSettingsForm;

}  // namespace korvel
