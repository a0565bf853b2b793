// Small builders for fixed-geometry forms: every widget gets its component name as objectName.
#pragma once

#include <QRect>
#include <QString>
#include <map>
#include <string>
#include <string_view>

#include "widgets/numeric_field.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace korvel {

// Form font: the 96-dpi layouts are drawn for an 8-point Tahoma-like face (11 px).
void ApplyFormFont(QWidget* form);

QGroupBox* MakeGroupBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry,
                        bool enabled);

// A read-only display field; hint is "short|long" (or just the short text).
TNumericField* MakeNumericField(QWidget* parent, const QString& name, TNumericDataType type, const QString& mask,
                                const QRect& geometry, const QString& hint = {});

// Label attached to field (buddy); named "lbl" plus the field's name without its kind prefix.
QLabel* MakeFieldLabel(QWidget* parent, QWidget* field, const QString& caption, const QRect& geometry);
QString LabelNameFor(const QString& fieldName);

// A display field with its label attached.
TNumericField* MakeLabelledField(QWidget* parent, const QString& caption, const QRect& labelGeometry,
                                 const QString& name, TNumericDataType type, const QString& mask,
                                 const QRect& fieldGeometry, const QString& hint = {});

// Hides a field and the labels attached to it.
void HideWithLabel(QWidget* field);

// The named widgets of a finished form, for lookups by component name that must be cheap (every
// report sets some ninety fields; a tree search per field costs more than the rest together).
using TFieldIndex = std::map<std::string, QWidget*, std::less<>>;
TFieldIndex IndexFields(QWidget* root);

QCheckBox* MakeCheckBox(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry);

// A drop-down list without free text, item 0 selected.
QComboBox* MakeDropDownList(QWidget* parent, const QString& name, const QStringList& items, const QRect& geometry);

}  // namespace korvel
