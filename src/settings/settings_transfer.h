// Moves the parameters between the board and the controls: fetch, write word by word with the
// store in flash, reset to defaults, the reminder when the settings tab is left, the settings
// file (save, load, compare) and the snapshots. Beside the controls it keeps the board's last
// report, to mark what is changed and ask before changes are discarded. The main window's
// settings handlers end here.
#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/change_marks.h"
#include "settings/nvm_parameters.h"
#include "settings/parameter_fields.h"
#include "settings/settings_file.h"
#include "settings/settings_job.h"
#include "settings/snapshot_store.h"

class QTimer;
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
    // A write run takes the progress strip from BeginRun to EndRun: its caption, percentage and
    // what it waits for; the strip stays live and offers to stop the run, while the pages, menus
    // and tool bar take no input.
    virtual void BeginRun(const QString& caption) = 0;
    virtual void RunProgress(int percent) = 0;
    virtual void RunStatus(const QString& text) = 0;
    virtual void EndRun() = 0;
    // A write run ended: what it did and how it ended, in a few words ("Instellingen wegschrijven:
    // Geprogrammeerd.").
    virtual void WriteEnded(const std::string& text) { (void)text; }
    // What the settings are taken for now: the visit's installation, port and firmware version.
    virtual TVisitStamp VisitStamp() { return {}; }
};

// What would discard changes not written, each asked about first.
enum class TDiscard { Fetch, Defaults, File, Snapshot, LeaveService, Disconnect, Close };

inline constexpr const char* MSG_PROGRAMMED = "Geprogrammeerd.";
inline constexpr const char* MSG_NOT_PROGRAMMED = "NIET geprogrammeerd.";
inline constexpr const char* MSG_COMMS_FAILED = "Communicatie niet gelukt...";
inline constexpr const char* MSG_SAVE_REMINDER = "Vergeet niet de instellingen op te slaan indien u die gewijzigd hebt.";
inline constexpr const char* MSG_NOTHING_TO_WRITE =
    "Er is niets weggeschreven: haal eerst de instellingen op van het KORVEL bord, of kies \"Instellingen standaard\".";
inline constexpr const char* MSG_INVALID_ENTRIES =
    "Er is niets weggeschreven. Deze instellingen zijn niet geldig:\n%s\nVerbeter ze en schrijf opnieuw weg.";
// Below the box's text (its advice): what happened and what to do.
// What to do when the board did not answer; the engineer's values are still in the fields.
inline constexpr const char* MSG_NO_ANSWER_ADVICE =
    "Controleer de kabel, de RUN/PROGRAM schakelaar (stand PROGRAM) en de voeding van het bord, en schrijf dan "
    "opnieuw weg: uw waarden staan nog in de velden. Wilt u eerst zien wat het bord nu heeft, bewaar ze dan met "
    "\"Instellingen opslaan als...\" en haal de instellingen op.";
inline constexpr const char* MSG_WRITE_UNANSWERED = "%s Er is niets in het geheugen van het bord opgeslagen.\n\n%s";
inline constexpr const char* MSG_STORE_UNANSWERED =
    "Alle instellingen zijn naar het KORVEL bord gestuurd en door het bord bevestigd, maar het bord antwoordde niet "
    "op het verzoek ze op te slaan: of ze zijn opgeslagen is niet bekend.\n\n%s";
inline constexpr const char* MSG_WRITE_STOPPED_TEXT = "Het wegschrijven is gestopt.";
inline constexpr const char* MSG_WRITE_STOPPED =
    "%s Er is niets in het geheugen van het KORVEL bord opgeslagen.\n\n"
    "Uw waarden staan nog in de velden: schrijf opnieuw weg om ze allemaal te sturen en op te slaan, of haal "
    "de instellingen op om te zien wat het bord nu heeft.";
inline constexpr const char* MSG_STORE_STOPPED =
    "Alle instellingen waren naar het KORVEL bord gestuurd en het bord was gevraagd ze op te slaan: of ze zijn "
    "opgeslagen is niet bekend. Haal de instellingen op om te zien wat het bord nu heeft; uw waarden staan nog in "
    "de velden.";
// What reached the board before a run ended early (address order): the rows it answered, and the
// one sent after them that it did not.
inline constexpr const char* MSG_NONE_SENT = "Er is nog niets naar het bord gestuurd.";
inline constexpr const char* MSG_ONE_SENT = "Alleen \"%s\" is naar het bord gestuurd en door het bord bevestigd.";
inline constexpr const char* MSG_SOME_SENT =
    "De eerste %s van de %s instellingen, van \"%s\" tot en met \"%s\", zijn naar het bord gestuurd en door het "
    "bord bevestigd.";
inline constexpr const char* MSG_ONLY_UNANSWERED =
    "Alleen \"%s\" is naar het bord gestuurd, en het bord antwoordde daar niet op.";
inline constexpr const char* MSG_THEN_UNANSWERED =
    "Daarna is \"%s\" naar het bord gestuurd, en het bord antwoordde daar niet op.";
inline constexpr const char* MSG_WRITE_LINE_LOST =
    "De verbinding met het KORVEL bord is verbroken tijdens het wegschrijven van de instellingen. %s Er is niets in "
    "het geheugen van het bord opgeslagen.\n\n%s";
inline constexpr const char* MSG_STORE_LINE_LOST =
    "De verbinding met het KORVEL bord is verbroken terwijl het bord de instellingen opsloeg. Of ze zijn "
    "opgeslagen is niet bekend: maak opnieuw verbinding en haal de instellingen op.";
// After a lost line, what to check: the adapter, or the server when the board is behind one.
inline constexpr const char* MSG_LOCAL_LINE_ADVICE =
    "Controleer de kabel, de USB-adapter en de voeding van het bord, en maak opnieuw verbinding.";
inline constexpr const char* MSG_VALUES_KEPT =
    "Uw waarden blijven in de velden staan: schrijf ze opnieuw weg zodra er weer verbinding is, of bewaar ze met "
    "\"Instellingen opslaan als...\".";
inline constexpr const char* MSG_STORE_DIFFERS =
    "Het KORVEL bord heeft niet alles opgeslagen zoals het is weggeschreven:\n%s\n\n"
    "De velden tonen nu wat het bord heeft opgeslagen. Het bord past een waarde misschien zelf aan, of zijn "
    "geheugen houdt haar niet vast. Zet de waarde terug en schrijf opnieuw weg; wijkt het bord weer af, "
    "controleer dan die waarde en de voeding van het bord.";
inline constexpr const char* MSG_STORE_UNVERIFIED =
    "Maar het KORVEL bord heeft niet teruggemeld wat het heeft opgeslagen: haal de instellingen opnieuw op om ze "
    "te controleren.";
inline constexpr const char* MSG_RUN_WAITING =
    "Geen antwoord van het bord, al %1 s: controleer kabel, schakelaar en voeding, of kies Stoppen.";
inline constexpr const char* MSG_FILE_NOT_WRITTEN = "Het bestand %s kan niet worden geschreven: %s";
inline constexpr const char* MSG_FILE_UNLOADABLE =
    "Het bestand %s is opgeslagen, maar het kan niet worden teruggeladen: %s\n"
    "Een waarde van het KORVEL bord valt buiten de grenzen van zijn veld.";
inline constexpr const char* MSG_FILE_NOT_READ = "Het bestand %s kan niet worden gelezen: %s";
inline constexpr const char* MSG_FILE_REFUSED =
    "Het bestand %s is niet geladen. %s\nDe instellingen in de vensters zijn niet veranderd.";
inline constexpr const char* MSG_LOAD_ANYWAY = "Toch laden?";
inline constexpr const char* MSG_FILE_LOADED =
    "De instellingen uit %s staan nu in de vensters. Er is nog niets naar het KORVEL bord gestuurd: kies "
    "\"Instellingen wegschrijven\" om ze weg te schrijven.";
inline constexpr const char* MSG_INVALID_FOR_FILE =
    "Er is niets %s. Deze instellingen zijn niet geldig:\n%s\nVerbeter ze eerst.";

// Before changes not written are discarded: the count, and below it what will happen and the
// choice (the buttons as they read: OK, Annuleren).
inline constexpr const char* MSG_UNWRITTEN_ONE = "Er is 1 wijziging nog niet weggeschreven.";
inline constexpr const char* MSG_UNWRITTEN_MANY = "Er zijn %s wijzigingen nog niet weggeschreven.";
inline constexpr const char* MSG_DISCARD_FETCH =
    "Ophalen vervangt ze door de instellingen van het KORVEL bord.\n"
    "Kies OK om op te halen, of Annuleren om uw wijzigingen te houden.";
inline constexpr const char* MSG_DISCARD_DEFAULTS =
    "De standaardwaarden vervangen ze.\nKies OK om de standaardwaarden in te vullen, of Annuleren om uw "
    "wijzigingen te houden.";
inline constexpr const char* MSG_DISCARD_FILE =
    "Het bestand vervangt ze.\nKies OK om het bestand te laden, of Annuleren om uw wijzigingen te houden.";
inline constexpr const char* MSG_DISCARD_SNAPSHOT =
    "De momentopname vervangt ze.\nKies OK om de momentopname te laden, of Annuleren om uw wijzigingen te houden.";
inline constexpr const char* MSG_DISCARD_LEAVE_SERVICE =
    "Buiten de servicestand gaan ze niet naar het KORVEL bord; ze blijven in de velden staan tot de "
    "instellingen weer worden opgehaald.\nKies OK om de servicestand te verlaten, of Annuleren om te blijven "
    "en ze weg te schrijven.";
inline constexpr const char* MSG_DISCARD_DISCONNECT =
    "Zonder verbinding gaan ze niet naar het KORVEL bord; ze blijven in de velden staan tot de instellingen "
    "weer worden opgehaald.\nKies OK om de verbinding te verbreken, of Annuleren om verbonden te blijven en ze "
    "weg te schrijven.";
inline constexpr const char* MSG_DISCARD_CLOSE =
    "Ze gaan verloren als het programma sluit.\nKies OK om te sluiten, of Annuleren om terug te gaan en ze weg "
    "te schrijven of met \"Instellingen opslaan als...\" te bewaren.";

// Snapshots of what the board held before the tool changes it.
inline constexpr const char* MSG_SNAPSHOT_NO_REPORT =
    "Er kan geen momentopname worden gemaakt: het KORVEL bord heeft zijn instellingen nog niet gemeld. Gaat %s "
    "mis, dan zijn de huidige instellingen van het bord niet terug te halen.\n"
    "Kies OK om toch door te gaan, of Annuleren om eerst de instellingen op te halen.";
inline constexpr const char* MSG_SNAPSHOT_FAILED =
    "%s\nGaat %s mis, dan zijn de huidige instellingen van het KORVEL bord niet terug te halen.\n"
    "Kies OK om toch door te gaan, of Annuleren om te stoppen.";
inline constexpr const char* MSG_NO_SNAPSHOTS =
    "Er zijn nog geen momentopnamen in %s. Het programma maakt er een voor elk wegschrijven en elke "
    "firmware-update.";
inline constexpr const char* MSG_SNAPSHOT_LOADED =
    "De momentopname van %s staat nu in de vensters. Er is nog niets naar het KORVEL bord gestuurd: kies "
    "\"Instellingen wegschrijven\" om ze weg te schrijven.";
inline constexpr const char* MSG_SNAPSHOT_REFUSED =
    "De momentopname van %s is niet geladen. %s\nDe instellingen in de vensters zijn niet veranderd.";

// What a snapshot is taken before.
enum class TBoardChange { Write, Firmware };

// A snapshot as the restore list shows it.
struct TSnapshotEntry {
    std::filesystem::path Path;
    QString Time;
    std::optional<TSettingsFileRead> Read;  // nothing or refused: cannot be loaded
    std::vector<TSettingsDifference> Differences;  // from the fields
    QString Outcome;  // what the write that followed it came to; empty when not known
};

class TSettingsTransfer {
public:
    explicit TSettingsTransfer(TSettingsOwner& owner);

    // The board's parameter report (38) or its answer to the store request (39).
    void DecodeNvmContents(const uint8_t* Data, int32_t Size);

    void Fetch();        // GetSettingsActionExecute: asks before replacing changes
    // The fetches the tool makes by itself (the tab shown, the board's confirmation of service
    // mode): asked about once each time service mode is entered.
    void AutoFetch();
    void Write();        // SetSettingsActionExecute
    void SetDefaults();  // DefaultSettingsActionExecute
    void TabSheetServiceShow();
    void TabSheetServiceHide();
    // Ends a write run between two exchanges ("Stoppen").
    void Stop();

    // A write run is under way (it waits for the board inside).
    bool Running() const { return FInRun || FJob.Running(); }
    // The controls hold a report from the board, the defaults or a loaded file, not the
    // contents they were created with.
    bool HoldsValues() const { return FHoldsValues; }
    // Changes left in the fields when service mode ended (the line lost, a disconnect): with the
    // settings tab gone nothing may replace them unseen, so the defaults wait for the next report.
    bool EditsKept() const { return FEditsKept; }

    // The board's last word and the marks of the controls that differ from it.
    TChangeMarks& Marks() { return FMarks; }
    // True when nothing is discarded or the engineer agrees to it (then asked, naming the count).
    bool MayDiscardChanges(TDiscard what);
    // Saves what the board last reported before it is changed; true to go on (a snapshot made, or
    // the engineer agreed to go on without one).
    bool TakeSnapshot(TBoardChange before);
    TSnapshotStore& Snapshots() { return FSnapshots; }

    // The settings file, with the dialogs that choose it; each names the file in its messages, and
    // a refused file changes nothing.
    void SaveAs();
    void Load();
    void Compare();
    void RestoreSnapshot();  // "Vorige instellingen terugzetten..."
    bool SaveToFile(const QString& path);
    bool LoadFromFile(const QString& path);
    // The differences with a file, or nothing when it cannot be read or the fields cannot be
    // compared (each said in a message).
    std::optional<std::vector<TSettingsDifference>> CompareWithFile(const QString& path);
    std::optional<std::vector<TSettingsDifference>> CompareWithDefaults();
    std::optional<std::vector<TSettingsDifference>> CompareWithBoard();
    // The snapshots, newest first, each with its differences from the fields; nothing when the
    // fields cannot be compared (said).
    std::optional<std::vector<TSnapshotEntry>> SnapshotEntries();
    bool LoadSnapshot(const TSnapshotEntry& entry);

    TParameterControls Controls() const;

private:
    // The words the fields stand for, or nothing when a field the engineer can correct is red
    // (said in a message; what: "weggeschreven", "opgeslagen", "vergeleken").
    std::optional<TNvmWords> FieldWords(const TParameterControls& controls, const char* what);
    bool CheckWritable(const TParameterControls& controls);
    void ShowOutcome(const TWriteOutcome& outcome, const std::vector<QString>& shown);
    std::string LineAdvice();  // after a lost line: what to check, and that the values are kept
    void ShowWaiting();
    std::optional<TSettingsFileRead> ReadFile(const QString& path);
    void PutValues(const std::vector<double>& values);
    void Filled();  // after the controls were filled from the defaults, a file or a snapshot
    void ShowDifferences(const std::vector<TSettingsDifference>& differences, const QString& other,
                         const QString& heading);

    TSettingsOwner& Owner;
    TSettingsJob FJob;
    TChangeMarks FMarks;
    // Asks before settings made for another installation are loaded; true to go on.
    bool MayUseFor(const TVisitStamp& made);
    std::string WithFirmwareNote(std::string text, const TVisitStamp& made);
    TSnapshotStore FSnapshots;
    std::optional<std::filesystem::path> FLastSnapshot;  // taken before the change now running
    QTimer* FWaitTimer;
    bool FHoldsValues = false;
    bool FInRun = false;
    bool FEditsKept = false;
    bool FDefaultsFilled = false;  // the fields hold the defaults: a write then writes those
    std::optional<bool> FAutoFetchAgreed;  // this stay in service mode's answer about fetching
};

}  // namespace korvel
