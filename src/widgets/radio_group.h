// A captioned group of radio buttons whose state is one item index, -1 when none is selected.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace korvel {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const;
    // Indexes beyond the items select nothing; callers clamp where that is not what they want.
    void SetItemIndex(int index);
    int Count() const;
    // A changed selection: the group's background takes the tint of a changed field.
    void SetMarked(bool marked);
    bool Marked() const { return FMarked; }

signals:
    void ItemIndexChanged(int index);

private:
    QButtonGroup* FButtons;
    bool FMarked = false;
};

}  // namespace korvel
