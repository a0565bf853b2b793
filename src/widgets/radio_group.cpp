#include "widgets/radio_group.h"

#include <QApplication>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/numeric_field.h"

namespace korvel {

TRadioGroup::TRadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), FButtons(new QButtonGroup(this)) {
    setObjectName(name);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    column->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(name + QStringLiteral("Item%1").arg(i));
        FButtons->addButton(button, i);
        column->addWidget(button);
    }
    connect(FButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) emit ItemIndexChanged(ItemIndex());
    });
}

void TRadioGroup::SetMarked(bool marked) {
    if (marked == FMarked) return;
    FMarked = marked;
    setAutoFillBackground(marked);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, marked ? ChangeMarkColour() : QApplication::palette(this).color(QPalette::Window));
    setPalette(pal);
}

int TRadioGroup::ItemIndex() const { return FButtons->checkedId(); }

int TRadioGroup::Count() const { return static_cast<int>(FButtons->buttons().size()); }

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = FButtons->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; clearing needs the exclusion off for a moment.
    if (QAbstractButton* checked = FButtons->checkedButton()) {
        FButtons->setExclusive(false);
        checked->setChecked(false);
        FButtons->setExclusive(true);
        emit ItemIndexChanged(-1);
    }
}

}  // namespace korvel
