// Moves the parameters between the board and the controls: fetch, write word by word with the
// store in flash, reset to defaults, the reminder when the settings tab is left, and the settings
// file (save, load, compare). The main window's settings handlers end here.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/nvm_parameters.h"
#include "settings/parameter_fields.h"
#include "settings/settings_file.h"
#include "settings/settings_job.h"

class QWidget;

namespace korvel {

class TCommsDataModule;
class TServiceSession;
class UiHost;

// What the settings transfer needs of the main window, which implements it.
class TSettingsOwner {
public:
    virtual ~TSettingsOwner() = default;
    virtual UiHost& Host() = 0;
    virtual TCommsDataModule& Comms() = 0;
    virtual TServiceSession& Service() = 0;
    virtual QWidget* OwnerWindow() = 0;  // parent of the dialogs; takes no input while a write runs
    virtual QWidget* SettingsTab() = 0;
    // SettingsCollected: the controls hold the board's report.
    virtual bool& SettingsCollectedFlag() = 0;
    virtual void SettingsFileActionsAllowances() = 0;
    // A write run takes the progress strip from BeginRun to EndRun: its caption and percentage.
    virtual void BeginRun(const QString& caption) = 0;
    virtual void RunProgress(int percent) = 0;
    virtual void EndRun() = 0;
};

inline constexpr const char* MSG_PROGRAMMED = "Geprogrammeerd.";
inline constexpr const char* MSG_NOT_PROGRAMMED = "NIET geprogrammeerd.";
inline constexpr const char* MSG_COMMS_FAILED = "Communicatie niet gelukt...";
inline constexpr const char* MSG_SAVE_REMINDER = "Vergeet niet de instellingen op te slaan indien u die gewijzigd hebt.";
inline constexpr const char* MSG_NOTHING_TO_WRITE =
    "Er is niets weggeschreven: haal eerst de instellingen op van het KORVEL bord, of kies \"Instellingen standaard\".";
inline constexpr const char* MSG_INVALID_ENTRIES =
    "Er is niets weggeschreven. Deze instellingen zijn niet geldig:\n%s\nVerbeter ze en schrijf opnieuw weg.";
inline constexpr const char* MSG_WRITE_LINE_LOST =
    "De verbinding met het KORVEL bord is verbroken tijdens het wegschrijven van de instellingen. "
    "Er is niets in het geheugen van het bord opgeslagen.";
inline constexpr const char* MSG_STORE_LINE_LOST =
    "De verbinding met het KORVEL bord is verbroken terwijl het bord de instellingen opsloeg. "
    "Of ze zijn opgeslagen is niet bekend: maak opnieuw verbinding en haal de instellingen op.";
inline constexpr const char* MSG_STORE_DIFFERS =
    "Het KORVEL bord heeft niet alles opgeslagen zoals het is weggeschreven:\n%s\n"
    "Controleer deze instellingen en schrijf ze opnieuw weg.";
inline constexpr const char* MSG_FILE_NOT_WRITTEN = "Het bestand %s kan niet worden geschreven: %s";
inline constexpr const char* MSG_FILE_UNLOADABLE =
    "Het bestand %s is opgeslagen, maar het kan niet worden teruggeladen: %s\n"
    "Een waarde van het KORVEL bord valt buiten de grenzen van zijn veld.";
inline constexpr const char* MSG_FILE_NOT_READ = "Het bestand %s kan niet worden gelezen: %s";
inline constexpr const char* MSG_FILE_REFUSED =
    "Het bestand %s is niet geladen. %s\nDe instellingen in de vensters zijn niet veranderd.";
inline constexpr const char* MSG_FILE_LOADED =
    "De instellingen uit %s staan nu in de vensters. Er is nog niets naar het KORVEL bord gestuurd: kies "
    "\"Instellingen wegschrijven\" om ze weg te schrijven.";
inline constexpr const char* MSG_INVALID_FOR_FILE =
    "Er is niets %s. Deze instellingen zijn niet geldig:\n%s\nVerbeter ze eerst.";
inline constexpr const char* MSG_STORE_UNVERIFIED =
    "Het KORVEL bord heeft niet teruggemeld wat het heeft opgeslagen. "
    "Haal de instellingen opnieuw op om ze te controleren.";

class TSettingsTransfer {
public:
    explicit TSettingsTransfer(TSettingsOwner& owner);

    // The board's parameter report (38) or its answer to the store request (39).
    void DecodeNvmContents(const uint8_t* Data, int32_t Size);

    void Fetch();        // GetSettingsActionExecute
    void Write();        // SetSettingsActionExecute
    void SetDefaults();  // DefaultSettingsActionExecute
    void TabSheetServiceShow();
    void TabSheetServiceHide();

    // A write run is under way (it waits for the board inside).
    bool Running() const { return FJob.Running(); }
    // The controls hold a report from the board, the defaults or a loaded file, not the
    // contents they were created with.
    bool HoldsValues() const { return FHoldsValues; }

    // The settings file, with the dialogs that choose it; each names the file in its messages, and
    // a refused file changes nothing.
    void SaveAs();
    void Load();
    void Compare();
    bool SaveToFile(const QString& path);
    bool LoadFromFile(const QString& path);
    // The differences with a file, or nothing when it cannot be read or the fields cannot be
    // compared (each said in a message).
    std::optional<std::vector<TSettingsDifference>> CompareWithFile(const QString& path);
    std::optional<std::vector<TSettingsDifference>> CompareWithDefaults();

    TParameterControls Controls() const;

private:
    // The words the fields stand for, or nothing when a field the engineer can correct is red
    // (said in a message; what: "weggeschreven", "opgeslagen", "vergeleken").
    std::optional<TNvmWords> FieldWords(const TParameterControls& controls, const char* what);
    bool CheckWritable(const TParameterControls& controls);
    void ShowOutcome(const TWriteOutcome& outcome, const std::vector<QString>& shown);
    std::optional<TSettingsFileRead> ReadFile(const QString& path);
    void ShowDifferences(const std::vector<TSettingsDifference>& differences, const QString& other,
                         const QString& heading);

    TSettingsOwner& Owner;
    TSettingsJob FJob;
    bool FHoldsValues = false;
};

}  // namespace korvel
