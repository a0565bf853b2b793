#include "settings/parameter_fields.h"

#include <QLocale>
#include <QWidget>
#include <algorithm>

#include "widgets/numeric_field.h"
#include "widgets/radio_group.h"

namespace korvel {

namespace {

TNumericDataType DataTypeOf(TNvmFieldKind kind) {
    switch (kind) {
        case TNvmFieldKind::UnsignedWord: return TNumericDataType::ndtWord;
        // A signed field may be given an unsigned word by a report: hold it whole.
        case TNvmFieldKind::SignedInteger: return TNumericDataType::ndtInteger;
        case TNvmFieldKind::RealSingle: return TNumericDataType::ndtSingle;
        case TNvmFieldKind::Real:
        case TNvmFieldKind::RadioGroup: break;
    }
    return TNumericDataType::ndtReal;
}

QWidget* Find(QWidget* root, const TNvmParameter& p) {
    if (root == nullptr) return nullptr;
    const QString control = Text(p.Control);
    const auto dot = control.indexOf(QLatin1Char('.'));
    if (dot < 0) return root->findChild<QWidget*>(control);
    QWidget* frame = root->findChild<QWidget*>(control.left(dot));
    return frame == nullptr ? nullptr : frame->findChild<QWidget*>(control.mid(dot + 1));
}

}  // namespace

char SettingsDecimalSeparator() { return QLocale().decimalPoint() == QStringLiteral(",") ? ',' : '.'; }

QString FieldNameOf(const TNvmParameter& p) {
    const std::string_view control = p.Control;
    const auto dot = control.find('.');
    const std::string_view name = dot == std::string_view::npos ? control : control.substr(dot + 1);
    return Text(name);
}

TNumericField* MakeParameterField(QWidget* parent, const TNvmParameter& p, const QRect& geometry) {
    auto* field = new TNumericField(FieldNameOf(p), DataTypeOf(p.Kind),
                                    Text(p.Mask), parent);
    field->setGeometry(geometry);
    field->SetRange(p.Min, p.Max);
    field->SetEditable(!p.ReadOnly);
    if (p.HasDefault) field->SetValue(p.Default);
    if (p.Hidden) field->hide();
    return field;
}

TParameterControls::TParameterControls(QWidget* settingsTab, QWidget* advancedSettings) {
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        FControls[i] = Find(table[i].Window == TNvmWindow::SettingsTab ? settingsTab : advancedSettings, table[i]);
}

bool TParameterControls::Complete() const {
    return std::all_of(FControls.begin(), FControls.end(), [](QWidget* w) { return w != nullptr; });
}

double TParameterControls::Value(size_t row) const {
    if (auto* field = qobject_cast<TNumericField*>(FControls[row])) return field->Value();
    if (auto* group = qobject_cast<TRadioGroup*>(FControls[row])) return group->ItemIndex();
    return 0;
}

std::vector<double> TParameterControls::Values() const {
    std::vector<double> values;
    values.reserve(FControls.size());
    for (size_t i = 0; i < FControls.size(); ++i) values.push_back(Value(i));
    return values;
}

void TParameterControls::SetValue(size_t row, double value) {
    if (auto* field = qobject_cast<TNumericField*>(FControls[row])) {
        field->SetValue(value);
    } else if (auto* group = qobject_cast<TRadioGroup*>(FControls[row])) {
        const TNvmParameter& p = NvmParameters()[row];
        group->SetItemIndex(static_cast<int>(std::clamp(value, p.Min, p.Max)));
    }
}

void TParameterControls::SetValues(const std::vector<double>& values) {
    for (size_t i = 0; i < FControls.size() && i < values.size(); ++i) SetValue(i, values[i]);
}

QString TParameterControls::Shown(size_t row) const {
    if (auto* field = qobject_cast<TNumericField*>(FControls[row])) return field->text().trimmed();
    if (auto* group = qobject_cast<TRadioGroup*>(FControls[row])) return QString::number(group->ItemIndex());
    return {};
}

bool TParameterControls::Pending(size_t row) const {
    auto* field = qobject_cast<TNumericField*>(FControls[row]);
    return field != nullptr && field->EntryPending();
}

bool TParameterControls::Valid(size_t row) const {
    if (auto* field = qobject_cast<TNumericField*>(FControls[row])) return field->EntryValid();
    return FControls[row] != nullptr;
}

}  // namespace korvel
