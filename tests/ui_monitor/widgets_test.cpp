#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "widgets/numeric_field.h"
#include "widgets/percentage_meter.h"

namespace korvel {
namespace {

// The whole text as one user edit (a paste), without the intermediate states of typing.
void Type(TNumericField& f, const char* text) {
    f.setText(QString::fromUtf8(text));
    emit f.textEdited(f.text());
}

class NumericFieldTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(NumericFieldTest, DisplayFollowsTypeMaskAndLocale) {
    TNumericField real(QStringLiteral("f"), TNumericDataType::ndtReal, QStringLiteral("###.##"));
    real.SetValue(-5.25);
    EXPECT_EQ(real.text(), QStringLiteral(" -5,25"));
    EXPECT_DOUBLE_EQ(real.Value(), -5.25);
    EXPECT_TRUE(real.alignment() & Qt::AlignRight);

    TNumericField word(QStringLiteral("w"), TNumericDataType::ndtWord, QStringLiteral("99999"));
    word.SetValue(12.6);  // integer types hold whole numbers
    EXPECT_EQ(word.text(), QStringLiteral("   13"));
    EXPECT_DOUBLE_EQ(word.Value(), 13);

    TNumericField single(QStringLiteral("s"), TNumericDataType::ndtSingle, QStringLiteral("##.#"));
    single.SetValue(0.1);
    EXPECT_DOUBLE_EQ(single.Value(), double(0.1f));
    EXPECT_EQ(single.text(), QStringLiteral(" 0,1"));

    QLocale::setDefault(QLocale::c());
    real.SetValue(21.5);
    EXPECT_EQ(real.text(), QStringLiteral(" 21.50"));
}

TEST_F(NumericFieldTest, HintSplitsAtTheBar) {
    TNumericField f;
    f.SetHint(QStringLiteral("T1|NTC1 temperatuur"));
    EXPECT_EQ(f.toolTip(), QStringLiteral("T1"));
    EXPECT_EQ(f.statusTip(), QStringLiteral("NTC1 temperatuur"));
    EXPECT_EQ(f.whatsThis(), QStringLiteral("NTC1 temperatuur"));
    f.SetHint(QStringLiteral("Degree-minutes integrator"));
    EXPECT_EQ(f.toolTip(), QStringLiteral("Degree-minutes integrator"));
}

TEST_F(NumericFieldTest, EntryParsesWithTheLocaleAndColoursErrors) {
    TNumericField f(QStringLiteral("e"), TNumericDataType::ndtReal, QStringLiteral("##.#"));
    f.SetEditable(true);
    f.SetRange(10, 30);
    f.SetValue(20);
    const QColor normal = f.palette().color(QPalette::Active, QPalette::Base);
    QSignalSpy edited(&f, &TNumericField::ValueEdited);

    struct Entry {
        const char* text;
        bool valid;
        double value;  // Value() afterwards
    };
    const Entry entries[] = {
        {"21,5", true, 21.5},
        {"21.5", false, 21.5},  // '.' is a group separator here: never read as 215
        {"abc", false, 21.5},
        {"", false, 21.5},
        {"35", false, 21.5},    // a number, but outside the limits
        {"21,55", false, 21.5}, // a decimal the mask cannot show
        {" 12,0", true, 12},
    };
    for (const auto& e : entries) {
        Type(f, e.text);
        EXPECT_EQ(f.EntryValid(), e.valid) << e.text;
        EXPECT_DOUBLE_EQ(f.Value(), e.value) << e.text;
        EXPECT_EQ(f.palette().color(QPalette::Active, QPalette::Base), e.valid ? normal : QColor(Qt::red)) << e.text;
        if (!e.valid) {
            EXPECT_EQ(f.palette().color(QPalette::Active, QPalette::Text), QColor(Qt::black)) << e.text;
        }
    }
    EXPECT_EQ(edited.count(), 2);
    emit f.editingFinished();
    EXPECT_EQ(f.text(), QStringLiteral("12,0"));
    Type(f, "1,25");
    emit f.editingFinished();
    EXPECT_EQ(f.text(), QStringLiteral("1,25"));  // outside the limits: left for the user to see

    // A value set from outside is checked against the limits as well.
    f.SetValue(5);
    EXPECT_EQ(f.palette().color(QPalette::Active, QPalette::Base), QColor(Qt::red));
    f.SetValue(15);
    EXPECT_EQ(f.palette().color(QPalette::Active, QPalette::Base), normal);
}

TEST_F(NumericFieldTest, IntegerEntryRefusesFractionsAndTypeOverflow) {
    TNumericField f(QStringLiteral("b"), TNumericDataType::ndtByte, QStringLiteral("999"));
    f.SetEditable(true);
    for (auto [text, valid] : {std::pair{"12", true}, {"1,5", false}, {"256", false}, {"-1", false}, {"255", true}}) {
        Type(f, text);
        EXPECT_EQ(f.EntryValid(), valid) << text;
    }
}

TEST_F(NumericFieldTest, DisplayFieldNeverTurnsRed) {
    TNumericField f(QStringLiteral("r"), TNumericDataType::ndtReal, QStringLiteral("##.#"));
    const QColor normal = f.palette().color(QPalette::Active, QPalette::Base);
    f.SetRange(0, 10);
    f.SetValue(99);
    EXPECT_EQ(f.palette().color(QPalette::Active, QPalette::Base), normal);
    EXPECT_TRUE(f.isReadOnly());
}

TEST(PercentageMeter, ClampsAndShowsThePercentage) {
    TPercentageMeter meter;
    meter.SetForeColor(Qt::gray);
    for (auto [in, out] : {std::pair{50, 50}, {-3, 0}, {140, 100}, {0, 0}}) {
        meter.SetPercent(in);
        EXPECT_EQ(meter.Percent(), out);
        EXPECT_EQ(meter.Text(), QString::number(out) + QLatin1Char('%'));
    }
    meter.resize(100, 16);
    meter.SetPercent(50);
    const QImage img = meter.grab().toImage();
    EXPECT_EQ(img.pixelColor(10, 3), QColor(Qt::gray));     // used part
    EXPECT_EQ(img.pixelColor(90, 3), QColor(Qt::white));    // unused part
}

bool HasContent(const QImage& img) {
    if (img.isNull()) return false;
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (img.pixel(x, y) != first) return true;
    return false;
}

// Set KORVEL_GRAB_DIR to keep the pictures for a look.
TEST(Rendering, PageAndAdvancedViewDraw) {
    TMonitorPage page;
    page.resize(page.minimumSize());
    TAdvancedViewForm view;
    const QImage pageImg = page.grab().toImage();
    const QImage viewImg = view.grab().toImage();
    EXPECT_TRUE(HasContent(pageImg));
    EXPECT_TRUE(HasContent(viewImg));
    EXPECT_EQ(viewImg.size() / viewImg.devicePixelRatio(), QSize(659, 514));
    const QByteArray dir = qgetenv("KORVEL_GRAB_DIR");
    if (!dir.isEmpty()) {
        pageImg.save(QString::fromLocal8Bit(dir) + QStringLiteral("/monitor_page.png"));
        viewImg.save(QString::fromLocal8Bit(dir) + QStringLiteral("/advanced_view.png"));
    }
}

}  // namespace
}  // namespace korvel
