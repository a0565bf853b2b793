#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <optional>

#include "settings/advanced_settings_form.h"
#include "settings/settings_page.h"
#include "ui_settings/settings_fixture.h"

namespace korvel::test {
namespace {

// In "Geavanceerd" a menu letter types nothing into a field, and the keys of the window's commands
// do what they do in the main window.
TEST_F(SettingsTest, TheAdvancedWindowTakesTheCommandKeysAndNoMenuLetters) {
    StartBoard();
    ChooseService();
    Receive({K2PRSETCOMMAND});
    BoardReports();
    host.ScriptInputs({PIN_CODE});
    form->btnShowAdvancedSettingsClick();
    QApplication::setActiveWindow(settings.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings.get()));
    TNumericField* field = Field("onfFixedTempTime");
    field->setFocus();
    const QString before = field->text();
    QTest::keyClick(field, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(field->text(), before);
    EXPECT_TRUE(field->EntryValid());

    QSignalSpy fetch(form->GetSettingsAction, &QAction::triggered);
    QSignalSpy save(form->SaveSettingsAction, &QAction::triggered);
    QTest::keyClick(field, Qt::Key_F5);
    QTimer::singleShot(0, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(fetch.count(), 1);
    EXPECT_EQ(save.count(), 1);
}

// Every parameter has one control, in its window, built as its row says.
TEST_F(SettingsTest, EveryParameterHasItsControlAsTheTableSays) {
    const TParameterControls controls = Controls();
    ASSERT_TRUE(controls.Complete());
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i) {
        const TNvmParameter& p = table[i];
        SCOPED_TRACE(std::string(p.Control));
        QWidget* control = controls.Control(i);
        QWidget* window = p.Window == TNvmWindow::SettingsTab ? static_cast<QWidget*>(form->TabSheetService)
                                                             : static_cast<QWidget*>(settings.get());
        EXPECT_TRUE(window->isAncestorOf(control));
        EXPECT_EQ(control->isHidden(), p.Hidden);
        auto* field = qobject_cast<TNumericField*>(control);
        if (p.Kind == TNvmFieldKind::RadioGroup) {
            EXPECT_EQ(qobject_cast<TRadioGroup*>(control)->Count(), 5);
            continue;
        }
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->PictureMask().toStdString(), p.Mask);
        EXPECT_EQ(field->Editable(), !p.ReadOnly);
        EXPECT_EQ(field->MinValue(), p.Min);
        EXPECT_EQ(field->MaxValue(), p.Max);
        if (!p.Column.empty()) continue;  // grid cells carry their row's caption once
        const auto labels = control->parentWidget()->findChildren<QLabel*>();
        const bool labelled = std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
            return l->buddy() == control && l->text().toStdString() == p.Caption;
        });
        EXPECT_TRUE(labelled);
    }
    // The low radiator curve's outdoor range is fixed on the settings tab.
    EXPECT_FALSE(Field("StooklijnRL.XMin")->Editable());
    EXPECT_FALSE(Field("StooklijnRL.XMax")->Editable());
    EXPECT_TRUE(Field("StooklijnRH.XMin")->Editable());
}

TEST_F(SettingsTest, AccessCodeOpensTheAdvancedSettingsOnlyWhenExact) {
    form->setWindowTitle(QStringLiteral("Korvel Service gereedschap (demo)"));
    const struct {
        std::optional<std::string> entry;  // nullopt: Cancel
        bool opens;
    } rows[] = {
        {std::nullopt, false}, {"", false}, {"70863 ", false}, {" 70863", false},
        {"7O863", false},      {"-- voer de code in --", false}, {"70863", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entry.value_or("<Cancel>"));
        settings->hide();
        host.ClearRecords();
        host.ScriptInputs({row.entry});
        form->btnShowAdvancedSettingsClick();
        EXPECT_EQ(host.InputPrompts(),
                  std::vector<std::string>{"Geavanceerde instellingen|Toegangscode ?|-- voer de code in --"});
        EXPECT_EQ(settings->isVisible(), row.opens);
        EXPECT_EQ(BoxTexts(), row.opens ? std::vector<std::string>{}
                                        : std::vector<std::string>{"Deze toegangscode is niet juist."});
        if (!row.opens) {
            EXPECT_EQ(host.Boxes()[0].type, TMsgDlgType::mtInformation);
        }
    }
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Korvel Service gereedschap (demo)"));

    // Open already: brought forward, no second question.
    host.ClearRecords();
    form->btnShowAdvancedSettingsClick();
    EXPECT_TRUE(host.InputPrompts().empty());
    EXPECT_TRUE(settings->isVisible());

    // Leaving service mode hides it; opening it later asks again.
    Connect();
    ChooseService();
    form->DisconnectActionExecute();
    EXPECT_FALSE(settings->isVisible());
    host.ClearRecords();
    form->btnShowAdvancedSettingsClick();
    EXPECT_EQ(host.InputPrompts().size(), 1u);
}

TEST_F(SettingsTest, TestModeFollowsTheReportAndSelectingOneSendsNothing) {
    const size_t row = FindNvmParameter("rgTestmode")->Address / 2;
    auto* group = qobject_cast<TRadioGroup*>(Controls().Control(row));
    std::vector<uint8_t> report(NVM_REPORT_SIZE);
    report[0] = K2PRGETNVM;
    const struct {
        uint16_t word;
        int index;
    } rows[] = {{7, 4}, {2, 2}, {static_cast<uint16_t>(-5), -1}, {0, 0}};
    for (const auto& r : rows) {
        report[225] = static_cast<uint8_t>(r.word & 0xFF);
        report[226] = static_cast<uint8_t>(r.word >> 8);
        Receive(report);
        EXPECT_EQ(group->ItemIndex(), r.index) << r.word;
        EXPECT_EQ(Controls().Value(row), r.index);
    }
    EXPECT_EQ(group->title(), QStringLiteral("Test standen"));
    Connect();
    form->ServiceBox->setEnabled(true);  // as the board's confirmation leaves it
    group->findChild<QRadioButton*>(QStringLiteral("rgTestmodeItem3"))->click();
    EXPECT_EQ(group->ItemIndex(), 3);
    EXPECT_TRUE(peer.Blocks().empty());
}

}  // namespace
}  // namespace korvel::test
