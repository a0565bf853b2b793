#include <QAction>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

#include "settings/settings_compare_dialog.h"
#include "ui_settings/settings_fixture.h"

namespace korvel::test {
namespace {

class SettingsFileTest : public SettingsTest {
protected:
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
};

TEST_F(SettingsFileTest, SavedSettingsLoadBackWithoutSendingAnything) {
    Connect();
    form->SetDefaults();
    Field("onfNightOff")->SetValue(21.5);
    Field("onfFixedTempValue")->SetValue(35.5);
    Field("onfTableDown07")->SetValue(-12);
    const std::vector<uint16_t> saved = ShownWords();
    ASSERT_TRUE(form->SettingsTransfer->SaveToFile(Path("backup.csv")));
    EXPECT_TRUE(host.Boxes().empty());

    form->SetDefaults();
    ASSERT_NE(ShownWords(), saved);
    ASSERT_TRUE(form->SettingsTransfer->LoadFromFile(Path("backup.csv")));
    EXPECT_EQ(ShownWords(), saved);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{FormatText(MSG_FILE_LOADED, {"backup.csv"})});
    EXPECT_TRUE(peer.Blocks().empty());

    // Compared with the file it came from: equal; one change later: that row alone.
    EXPECT_TRUE(form->SettingsTransfer->CompareWithFile(Path("backup.csv"))->empty());
    Field("onfTableDown07")->SetValue(-11);
    const auto differences = *form->SettingsTransfer->CompareWithFile(Path("backup.csv"));
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].Parameter->Control, "onfTableDown07");
    TSettingsCompareDialog dialog(differences, QStringLiteral("het bestand backup.csv"), QStringLiteral("In het bestand"));
    EXPECT_EQ(dialog.List->rowCount(), 1);
    EXPECT_EQ(dialog.List->item(0, 0)->text(), QStringLiteral("116"));
    EXPECT_EQ(dialog.List->item(0, 2)->text(), QStringLiteral("-11"));
    EXPECT_EQ(dialog.List->item(0, 3)->text(), QStringLiteral("-12"));
    EXPECT_FALSE(dialog.CopyText().isEmpty());
}

// A file made for another installation asks first, naming both; Annuleren changes nothing; a file
// without a name asks nothing.
TEST_F(SettingsFileTest, AnotherInstallationsFileAsksFirst) {
    Connect();
    form->SetDefaults();
    form->SetInstallation(QStringLiteral("Kerkweg 12"));
    const std::vector<uint16_t> before = ShownWords();
    TNvmWords other = NvmWordsOf(Controls().Values());
    other[46 / 2] = 21 * 256;
    const auto write = [&](const char* name, const TVisitStamp& stamp) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string text = WriteSettingsFile(other, "16.6.0.0", "2026-12-10 10:00:00", '.', stamp);
        file.write(text.data(), static_cast<qint64>(text.size()));
    };
    write("other.csv", {"Dorpsstraat 3", "COM5", "999"});
    write("unnamed.csv", {});
    const std::string question =
        FormatText(MSG_OTHER_INSTALLATION, {"Dorpsstraat 3", "Kerkweg 12"}) + "\n" + MSG_LOAD_ANYWAY;

    host.ScriptAnswers({TModalResult::mrCancel});
    EXPECT_FALSE(form->SettingsTransfer->LoadFromFile(Path("other.csv")));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{question});
    EXPECT_EQ(ShownWords(), before);

    host.ClearRecords();
    ASSERT_TRUE(form->SettingsTransfer->LoadFromFile(Path("other.csv")));
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts()[0], question);

    form->SetDefaults();
    host.ClearRecords();
    ASSERT_TRUE(form->SettingsTransfer->LoadFromFile(Path("unnamed.csv")));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{FormatText(MSG_FILE_LOADED, {"unnamed.csv"})});
}

// korvel-cli writes the board's words alone; the window loads them word for word (the 1/256
// field's 4865 included, which shows as 19.0 like 4864) and its own backup reads back the same.
TEST_F(SettingsFileTest, BackupsOfTheCommandLineAndTheWindowReadEachOther) {
    Connect();
    form->SetDefaults();
    TNvmWords board = NvmWordsOf(Controls().Values());
    board[46 / 2] = 4865;
    board[224 / 2] = 2;
    {
        QFile cli(Path("cli.csv"));
        ASSERT_TRUE(cli.open(QIODevice::WriteOnly));
        const std::string text = WriteSettingsFile(board, "16.6.0.0", "2026-12-10 10:00:00", '.');
        cli.write(text.data(), static_cast<qint64>(text.size()));
    }
    ASSERT_TRUE(form->SettingsTransfer->LoadFromFile(Path("cli.csv")));
    EXPECT_EQ(NvmWordsOf(Controls().Values()), board);
    ASSERT_TRUE(form->SettingsTransfer->SaveToFile(Path("window.csv")));
    QFile window(Path("window.csv"));
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    const QByteArray bytes = window.readAll();
    EXPECT_EQ(ReadSettingsFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))).Words, board);
}

TEST_F(SettingsFileTest, DamagedFilesAreRefusedAndChangeNothing) {
    form->SetDefaults();
    Field("onfNightOff")->SetValue(21.5);
    ASSERT_TRUE(form->SettingsTransfer->SaveToFile(Path("good.csv")));
    QFile good(Path("good.csv"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray text = good.readAll();
    const struct {
        const char* name;
        QByteArray content;
    } rows[] = {
        {"truncated.csv", text.left(text.size() / 2)},
        {"foreign.csv", "Date/Time;KORVEL state;Tapwater\r\n1-1-2026;1;0\r\n"},
        {"limits.csv", QByteArray(text).replace(";Temperatuur voor nachtstand;21.5", ";Temperatuur voor nachtstand;120.0")},
        {"empty.csv", ""},
    };
    form->SetDefaults();
    const std::vector<uint16_t> before = ShownWords();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile f(Path(row.name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(row.content);
        f.close();
        host.ClearRecords();
        EXPECT_FALSE(form->SettingsTransfer->LoadFromFile(Path(row.name)));
        ASSERT_EQ(host.Boxes().size(), 1u);
        EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtError);
        EXPECT_EQ(host.Boxes()[0].text.rfind(std::string("Het bestand ") + row.name + " is niet geladen.", 0), 0u)
            << host.Boxes()[0].text;
        EXPECT_EQ(ShownWords(), before);
    }
    host.ClearRecords();
    EXPECT_FALSE(form->SettingsTransfer->LoadFromFile(Path("missing.csv")));
    EXPECT_FALSE(form->SettingsTransfer->SaveToFile(Path("no/such/dir/x.csv")));
    EXPECT_EQ(host.Boxes().size(), 2u);
}

TEST_F(SettingsFileTest, BackupOfAValueOutsideItsLimitsIsSavedWithAWarning) {
    form->SetDefaults();
    Field("onfMinBoilerOnTime")->SetValue(-25536);  // a word of 40000, read back signed
    ASSERT_TRUE(form->SettingsTransfer->SaveToFile(Path("odd.csv")));
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtWarning);
    EXPECT_TRUE(QFile::exists(Path("odd.csv")));
}

TEST_F(SettingsFileTest, ComparedWithTheDefaultsOnlyChangedRowsShow) {
    form->SetDefaults();
    Field("onfFixedTempTime")->SetValue(1234);  // has no default: never a difference
    EXPECT_TRUE(form->SettingsTransfer->CompareWithDefaults()->empty());
    Field("StooklijnCool.YMin")->SetValue(18.0);
    const auto differences = form->SettingsTransfer->CompareWithDefaults();
    ASSERT_EQ(differences->size(), 1u);
    EXPECT_EQ((*differences)[0].Parameter->Address, 36);
}

TEST_F(SettingsFileTest, FileCommandsNeedServiceModeAndTheBoardsReport) {
    QAction* const actions[] = {form->SaveSettingsAction, form->LoadSettingsAction, form->CompareSettingsAction};
    auto enabled = [&] { return std::all_of(std::begin(actions), std::end(actions), [](QAction* a) { return a->isEnabled(); }); };
    auto disabled = [&] { return std::none_of(std::begin(actions), std::end(actions), [](QAction* a) { return a->isEnabled(); }); };
    EXPECT_TRUE(disabled());
    Connect();
    ChooseService();
    EXPECT_TRUE(disabled());  // a fetch is on its way and would overwrite a loaded file
    std::vector<uint8_t> report(NVM_REPORT_SIZE);
    report[0] = K2PRGETNVM;
    Receive(report);
    EXPECT_TRUE(enabled());
    // Out of service mode the fields can still be saved and compared, not filled.
    form->ModeSnifAction->trigger();
    EXPECT_TRUE(form->SaveSettingsAction->isEnabled() && form->CompareSettingsAction->isEnabled());
    EXPECT_FALSE(form->LoadSettingsAction->isEnabled() || form->RestoreSnapshotAction->isEnabled());
}

}  // namespace
}  // namespace korvel::test
