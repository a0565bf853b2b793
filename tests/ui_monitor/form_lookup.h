// Lookups the window tests share.
#pragma once

#include <QLabel>
#include <QWidget>

namespace korvel::test {

// The label attached to field (its buddy), or nullptr.
inline QLabel* LabelOf(QWidget* root, QWidget* field) {
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->buddy() == field) return label;
    return nullptr;
}

}  // namespace korvel::test
