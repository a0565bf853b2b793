#include "widgets/field_builders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

namespace korvel {

void ApplyFormFont(QWidget* form) {
    // Narrow faces first: the fixed group widths were drawn for Tahoma, and a wider face would
    // cut captions off.
    QFont font = form->font();
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPixelSize(11);
    form->setFont(font);
}

QGroupBox* MakeGroupBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry,
                        bool enabled) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setEnabled(enabled);
    return box;
}

TNumericField* MakeNumericField(QWidget* parent, const QString& name, TNumericDataType type, const QString& mask,
                                const QRect& geometry, const QString& hint) {
    auto* field = new TNumericField(name, type, mask, parent);
    field->setGeometry(geometry);
    if (!hint.isEmpty()) field->SetHint(hint);
    return field;
}

QString LabelNameFor(const QString& fieldName) {
    for (const char* prefix : {"onf", "ocb", "nf"}) {
        const QString p = QLatin1String(prefix);
        if (fieldName.startsWith(p)) return QStringLiteral("lbl") + fieldName.mid(p.size());
    }
    return QStringLiteral("lbl") + fieldName;
}

QLabel* MakeFieldLabel(QWidget* parent, QWidget* field, const QString& caption, const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(LabelNameFor(field->objectName()));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    label->setBuddy(field);
    return label;
}

TNumericField* MakeLabelledField(QWidget* parent, const QString& caption, const QRect& labelGeometry,
                                 const QString& name, TNumericDataType type, const QString& mask,
                                 const QRect& fieldGeometry, const QString& hint) {
    auto* field = MakeNumericField(parent, name, type, mask, fieldGeometry, hint);
    MakeFieldLabel(parent, field, caption, labelGeometry);
    return field;
}

void HideWithLabel(QWidget* field) {
    field->hide();
    if (QWidget* parent = field->parentWidget()) {
        for (QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (label->buddy() == field) label->hide();
    }
}

TFieldIndex IndexFields(QWidget* root) {
    TFieldIndex index;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty()) index.emplace(w->objectName().toStdString(), w);
    }
    return index;
}

QCheckBox* MakeCheckBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QComboBox* MakeDropDownList(QWidget* parent, const QString& name, const QStringList& items, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->addItems(items);
    list->setCurrentIndex(0);
    list->setGeometry(geometry);
    return list;
}

}  // namespace korvel
