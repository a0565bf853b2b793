#include "app/program_start.h"

#include "app/global_data_module.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace korvel {

std::unique_ptr<QTranslator> InstallQtTranslations(const QLocale& language) {
    auto translator = std::make_unique<QTranslator>();
    // "qt" is the catalogue that pulls in those of every Qt module present.
    if (!translator->load(language, QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

TProgram::TProgram(const TProgramOptions& options) {
    QtTranslations = InstallQtTranslations(options.language);
    std::string portName = options.port;
#ifdef KORVEL_DEMO_BOARD
    if (options.demo || options.replay) {
        sim::BoardSimOptions simOptions;
        simOptions.program = true;
        simOptions.reportMs = 1000;
        simOptions.replay = options.replay;
        DemoBoard = std::make_unique<sim::BoardSim>(simOptions);
        replay_ = options.replay != nullptr;
        portName = DemoBoard->Start();
    }
#endif

    Form = std::make_unique<TMainForm>(Host);
    MainForm = Form.get();
    if (DemoRunning())
        Form->setWindowTitle(Form->windowTitle() +
                             (ReplayRunning() ? QStringLiteral(" (opname afspelen)") : QStringLiteral(" (demo)")));
    if (!portName.empty()) {
        PreselectPort(Form->CommsDataModule->ZylSerialPort, portName);
        Form->StatusStrip->Refresh();  // it told what to do before a port was chosen
    }
    TOvcRegistryStore& store = Form->GlobalDataModule->OvcRegistryStore;
    MainFormState = std::make_unique<TWidgetFormState>(*Form, store, "TMainForm", Host, true);
    MainFormState->RestoreState();

    About = std::make_unique<TAboutForm>();
    AboutForm = About.get();
    AdvancedView = std::make_unique<TAdvancedViewForm>();
    AdvancedViewForm = AdvancedView.get();
    AdvancedViewFormState = std::make_unique<TWidgetFormState>(*AdvancedViewForm, store, "TAdvancedViewForm", Host);
    AdvancedViewFormState->RestoreState();
    AdvancedSettings = std::make_unique<TAdvancedSettingsForm>();
    AdvancedSettingsForm = AdvancedSettings.get();
    AdvancedSettingsFormState =
        std::make_unique<TWidgetFormState>(*AdvancedSettingsForm, store, "TAdvancedSettingsForm", Host);
    AdvancedSettingsFormState->RestoreState();
}

TProgram::~TProgram() {
    // No hand-over may wait for a UI thread that is closing the port.
    Host.Shutdown();
    // Saved while the main window still holds the store.
    for (auto* state : {MainFormState.get(), AdvancedViewFormState.get(), AdvancedSettingsFormState.get()})
        if (state != nullptr) state->WindowDestroying();
    AdvancedSettingsFormState.reset();
    AdvancedViewFormState.reset();
    MainFormState.reset();
    Form.reset();  // closes the port and the log while the other windows still exist
    AdvancedSettingsForm = nullptr;
    AdvancedViewForm = nullptr;
    AboutForm = nullptr;
    AdvancedSettings.reset();
    AdvancedView.reset();
    About.reset();
#ifdef KORVEL_DEMO_BOARD
    DemoBoard.reset();
#endif
}

bool TProgram::ReplayRunning() const {
#ifdef KORVEL_DEMO_BOARD
    return DemoBoard != nullptr && replay_;
#else
    return false;
#endif
}

bool TProgram::DemoRunning() const {
#ifdef KORVEL_DEMO_BOARD
    return DemoBoard != nullptr;
#else
    return false;
#endif
}

}  // namespace korvel
