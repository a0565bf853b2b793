#include "settings/change_marks.h"

#include <QLabel>
#include <QVariant>

#include "settings/advanced_settings_form.h"
#include "settings/settings_file.h"
#include "widgets/numeric_field.h"
#include "widgets/radio_group.h"

namespace korvel {

namespace {

void Mark(QWidget* control, bool marked, const QString& tip) {
    // A tool tip the control had before its first mark comes back when the mark goes.
    if (!control->property("unmarkedToolTip").isValid()) control->setProperty("unmarkedToolTip", control->toolTip());
    control->setToolTip(marked ? tip : control->property("unmarkedToolTip").toString());
    if (auto* field = qobject_cast<TNumericField*>(control))
        field->SetMarked(marked);
    else if (auto* group = qobject_cast<TRadioGroup*>(control))
        group->SetMarked(marked);
}

QLabel* CountLabel(QWidget* window) {
    return window == nullptr ? nullptr : window->findChild<QLabel*>(QStringLiteral("lblChanges"));
}

}  // namespace

TChangeMarks::TChangeMarks(std::function<QWidget*()> settingsTab, QObject* parent)
    : QObject(parent), FSettingsTab(std::move(settingsTab)) {}

void TChangeMarks::SetBoardWords(const TNvmWords& words, const QDateTime& when) {
    FBoard = words;
    FBoardTime = when;
    Refresh();
}

void TChangeMarks::Refresh() {
    FControls = TParameterControls(FSettingsTab(), AdvancedSettingsForm);
    for (size_t row = 0; row < NVM_PARAMETER_COUNT; ++row) {
        QWidget* control = FControls.Control(row);
        if (control != nullptr && FFollowed[row] != control) {
            FFollowed[row] = control;
            auto take = [this, row] {
                TakeRow(row);
                ShowCount();
            };
            if (auto* field = qobject_cast<TNumericField*>(control))
                connect(field, &TNumericField::Changed, this, take);
            else if (auto* group = qobject_cast<TRadioGroup*>(control))
                connect(group, &TRadioGroup::ItemIndexChanged, this, take);
        }
        TakeRow(row);
    }
    ShowCount();
}

void TChangeMarks::TakeRow(size_t row) {
    QWidget* control = FControls.Control(row);
    if (control == nullptr) return;
    bool changed = false;
    if (FBoard) {
        const TNvmParameter& p = NvmParameters()[row];
        changed = FControls.Pending(row) || NvmWordOf(ScaleNvmValue(p, FControls.Value(row))) != (*FBoard)[row];
    }
    if (changed == FChanged[row] && !changed) return;
    FChanged[row] = changed;
    Mark(control, changed, changed ? BoardText(row) : QString());
}

QString TChangeMarks::BoardText(size_t row) const {
    if (!FBoard) return {};
    const TNvmParameter& p = NvmParameters()[row];
    const uint16_t word = (*FBoard)[row];
    const double value = DecodeNvmWord(p, word);
    QString text = QString::fromStdString(SettingsValueText(p, value, SettingsDecimalSeparator()));
    if (p.Kind == TNvmFieldKind::RadioGroup) {
        const auto items = TestModeItems();
        const int index = static_cast<int>(value);
        text += index >= 0 && static_cast<size_t>(index) < items.size() ? QStringLiteral(" (%1)").arg(Text(items[index]))
                                                                        : QStringLiteral(" (geen)");
    }
    // Two words can show alike (the 1/256 field, a word the field cuts to its low byte).
    if (text == FControls.Shown(row) || NvmWordOf(ScaleNvmValue(p, value)) != word)
        text += QStringLiteral(" (woord %1)").arg(word);
    return QStringLiteral("Op het KORVEL bord: %1 (gemeld om %2)")
        .arg(text, FBoardTime.toString(QStringLiteral("HH:mm:ss")));
}

size_t TChangeMarks::Count(TNvmWindow window) const {
    size_t n = 0;
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i) n += FChanged[i] && table[i].Window == window;
    return n;
}

QString TChangeMarks::CountText(TNvmWindow window) const {
    const size_t total = Count();
    if (total == 0) return {};
    QString text = total == 1 ? QStringLiteral("1 wijziging niet weggeschreven")
                              : QStringLiteral("%1 wijzigingen niet weggeschreven").arg(total);
    const size_t elsewhere = total - Count(window);
    if (elsewhere > 0)
        text += (window == TNvmWindow::SettingsTab ? QStringLiteral(" (%1 in Geavanceerd)")
                                                   : QStringLiteral(" (%1 op het tabblad Instellingen)"))
                    .arg(elsewhere);
    return text;
}

void TChangeMarks::ShowCount() {
    for (const auto& [window, label] : {std::pair{TNvmWindow::SettingsTab, CountLabel(FSettingsTab())},
                                        std::pair{TNvmWindow::AdvancedSettings, CountLabel(AdvancedSettingsForm)}}) {
        if (label == nullptr) continue;
        const QString text = CountText(window);
        if (label->text() != text) {
            label->setText(text);
            if (label->parentWidget()->layout() == nullptr) label->adjustSize();
        }
        label->setVisible(!text.isEmpty());
    }
    if (Count() != FShownCount) {
        FShownCount = Count();
        emit CountChanged(FShownCount);
    }
}

}  // namespace korvel
