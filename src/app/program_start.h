// What program start creates, in its order: the Qt host, the main window, then the About box, the
// advanced view and the advanced settings window, hidden; each window that keeps its placement
// gets it back as it is created. Shared by the tool, its screenshot
// program and the start-up benchmark, so they all measure and show the real thing.
#pragma once

#include <QDialog>
#include <QLocale>
#include <QTranslator>
#include <QWidget>
#include <memory>
#include <string>

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/qt_ui_host.h"
#include "app/widget_form_state.h"
#ifdef KORVEL_DEMO_BOARD
#include "board_sim.h"
#endif
#include "messages/advanced_view_form.h"
#include "settings/advanced_settings_form.h"

namespace korvel {

struct TProgramOptions {
    std::string port;   // "COM5" or a device path; empty keeps the default
    bool demo = false;  // the built-in stand-in on a pty, preselected; ignored without one
    QLocale language = QLocale::system();  // of Qt's own texts
    std::string openLog;  // a log file to show in a chart once the main window is up
#ifdef KORVEL_DEMO_BOARD
    // A recording for the built-in stand-in to play instead of the demo board.
    std::shared_ptr<const sim::TReplayScript> replay;
#endif
};

class TProgram {
public:
    explicit TProgram(const TProgramOptions& options);  // needs the QApplication
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;
    bool DemoRunning() const;
    bool ReplayRunning() const;  // the stand-in plays a recording

    std::unique_ptr<QTranslator> QtTranslations;  // null without a catalogue for the language
    QtUiHost Host;
#ifdef KORVEL_DEMO_BOARD
    std::unique_ptr<sim::BoardSim> DemoBoard;
#endif
    std::unique_ptr<TAboutForm> About;
    std::unique_ptr<TAdvancedViewForm> AdvancedView;
    std::unique_ptr<TAdvancedSettingsForm> AdvancedSettings;
    std::unique_ptr<TMainForm> Form;
    // Placement of the three windows that keep theirs, restored as each is created.
    std::unique_ptr<TWidgetFormState> MainFormState;
    std::unique_ptr<TWidgetFormState> AdvancedViewFormState;
    std::unique_ptr<TWidgetFormState> AdvancedSettingsFormState;

private:
    bool replay_ = false;
};

// Qt's own texts (file dialogs, standard buttons, the edit menu of a field) in the given language,
// installed on the application until the translator goes; null when Qt has no catalogue for it.
// The tool's own texts do not pass through Qt's translation and stay as they are.
std::unique_ptr<QTranslator> InstallQtTranslations(const QLocale& language);

}  // namespace korvel
