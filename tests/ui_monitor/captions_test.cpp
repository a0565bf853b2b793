#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QSet>

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "ui_monitor/form_lookup.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

using test::LabelOf;

// Captions, masks, tool tips and visibility of both windows, one component a line.
TEST(Captions, EveryComponentAsListed) {
    TMonitorPage page;
    TAdvancedViewForm view;
    QFile file(QStringLiteral(KORVEL_TEST_DATA "/ui_monitor/captions.tsv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QSet<QString> listed;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (line.startsWith(QLatin1Char('#'))) continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        ASSERT_EQ(f.size(), 6) << line.toStdString();
        const std::string name = f[1].toStdString();
        QWidget* root = f[0] == QLatin1String("page") ? static_cast<QWidget*>(&page) : &view;
        QWidget* w = root->findChild<QWidget*>(f[1]);
        ASSERT_NE(w, nullptr) << name;
        listed.insert(f[1]);
        const bool shown = f[5] == QLatin1String("shown");
        EXPECT_EQ(w->isVisibleTo(root), shown) << name;
        EXPECT_EQ(w->toolTip(), f[4]) << name;
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            EXPECT_EQ(box->text(), f[2]) << name;
            continue;
        }
        auto* field = qobject_cast<TNumericField*>(w);
        ASSERT_NE(field, nullptr) << name;
        EXPECT_TRUE(field->isReadOnly()) << name;
        EXPECT_EQ(field->PictureMask(), f[3]) << name;
        QLabel* label = LabelOf(root, field);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), f[2]) << name;
        EXPECT_EQ(label->isVisibleTo(root), shown) << name;
    }
    for (QWidget* root : {static_cast<QWidget*>(&page), static_cast<QWidget*>(&view)})
        for (auto* field : root->findChildren<TNumericField*>())
            EXPECT_TRUE(listed.contains(field->objectName())) << field->objectName().toStdString();
}

}  // namespace
}  // namespace korvel
