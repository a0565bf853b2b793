#include "settings/settings_layout.h"

#include <QGroupBox>
#include <QLabel>
#include <stdexcept>
#include <string>

#include "settings/parameter_fields.h"
#include "widgets/field_builders.h"
#include "widgets/numeric_field.h"

namespace korvel {

TNumericField* ParameterRow(QWidget* box, const char* control, int x, int labelWidth, int fieldWidth, int y) {
    const TNvmParameter* p = FindNvmParameter(control);
    if (p == nullptr) throw std::logic_error(std::string("no parameter ") + control);
    auto* field = MakeParameterField(box, *p, QRect(x + labelWidth + 4, y, fieldWidth, kSettingsFieldH));
    MakeFieldLabel(box, field, Text(p->Caption),
                   QRect(x, y + 3, labelWidth, 14));
    if (p->Hidden) HideWithLabel(field);
    return field;
}

QGroupBox* MakeTitledGroup(QWidget* parent, const QString& name, const QString& title, const QRect& geometry) {
    QGroupBox* box = MakeGroupBox(parent, name, QString(), geometry, true);
    auto* label = new QLabel(title, box);
    label->setObjectName(QStringLiteral("lbl") + name);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    label->move(8, 6);
    label->adjustSize();
    return box;
}

QLabel* MakeHeading(QWidget* parent, const QString& text, int x, int width, int y) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    label->setGeometry(x, y, width, 14);
    return label;
}

}  // namespace korvel
