#include "messages/realtime_report_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLocale>
#include <QStyle>
#include <array>

#include "messages/advanced_view_form.h"
#include "messages/monitor_page.h"
#include "messages/realtime_report.h"
#include "support/fake_ui_host.h"
#include "widgets/numeric_field.h"

namespace korvel {
namespace {

// The communications module's receive buffer: the block, its two check bytes, then whatever
// earlier blocks left behind.
struct Block {
    std::array<uint8_t, 515> data{};
    Block() { data[0] = 16; }
    void Set(size_t offset, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) data[offset++] = b;
    }
};

class ReportView : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QString Text(const char* name) {
        if (auto* f = page.findChild<TNumericField*>(QLatin1String(name))) return f->text();
        return view.findChild<TNumericField*>(QLatin1String(name))->text();
    }
    QCheckBox* Box(const char* name) {
        if (auto* b = page.findChild<QCheckBox*>(QLatin1String(name))) return b;
        return view.findChild<QCheckBox*>(QLatin1String(name));
    }
    QComboBox* List(const char* name) { return page.findChild<QComboBox*>(QLatin1String(name)); }
    void Show(const Block& b, int32_t size = 114) { ShowRealtimeReport(b.data.data(), size, page, view, host); }

    TMonitorPage page;
    TAdvancedViewForm view;
    test::FakeUiHost host;
};

TEST_F(ReportView, ValuesReachTheFieldsAsTheLogReadsThem) {
    Block b;
    b.Set(1, {0x66, 0x08});    // 21.50
    b.Set(3, {0xF3, 0xFD});    // -5.25
    b.Set(5, {0x12, 0xC8});    // firmware 200
    b.Set(11, {0x9C, 0xFF});   // -10.0
    b.Set(21, {0x0C, 0x00});   // 12, no scaling
    b.Set(37, {0x80, 0x14});   // 20.5
    b.Set(48, {16});
    b.Set(89, {1});
    b.Set(90, {2});
    b.Set(87, {0x40});
    b.Set(49, {0x04});
    b.Set(93, {0xCE, 0x00});   // 20.6, advanced view
    b.Set(110, {0xF6, 0xFF});  // -10
    Show(b);

    EXPECT_EQ(Text("onfNTC1"), QStringLiteral(" 21,50"));
    EXPECT_EQ(Text("onfNTC2"), QStringLiteral(" -5,25"));
    EXPECT_EQ(Text("onfFirmLo"), QStringLiteral("200"));
    EXPECT_EQ(Text("onfOutsideAir"), QStringLiteral("-10,0"));
    EXPECT_EQ(Text("onfCompCurrent"), QStringLiteral("12,0"));
    EXPECT_EQ(Text("onfRoomSetpoint"), QStringLiteral("20,5"));
    EXPECT_EQ(Text("onfOldRoomTemperature"), QStringLiteral("20,6"));
    EXPECT_EQ(Text("nfModBus4416"), QStringLiteral("   -10"));
    EXPECT_EQ(Text("onfDefrost"), QStringLiteral("    0"));
    EXPECT_EQ(List("ocbKorvelState")->currentText(), QStringLiteral("16 - TESTMODE 4"));
    EXPECT_EQ(List("ocbOpMode")->currentText(), QStringLiteral("1: Heat"));
    EXPECT_TRUE(Box("cbOnOff")->isChecked());
    EXPECT_TRUE(Box("cbU7")->isChecked());
    EXPECT_TRUE(Box("cbU7copy")->isChecked());
    for (const char* n : {"cbU1", "cbU2", "cbU3", "cbU4", "cbU5", "cbU6", "cbNTC1Error", "cbOTBoilerFault"})
        EXPECT_FALSE(Box(n)->isChecked()) << n;
    EXPECT_TRUE(Box("cbNTC2Error")->isChecked());
    EXPECT_TRUE(host.Traces().empty());
}

TEST_F(ReportView, EveryReportSetsEveryField) {
    Block ones;
    for (size_t i = 1; i < 112; ++i) ones.data[i] = 0x01;
    ones.data[52] = ones.data[53] = ones.data[49] = ones.data[47] = ones.data[87] = 0xFF;
    Show(ones);
    EXPECT_TRUE(Box("cbDIP8")->isChecked());
    Box("cbNTC1Error")->setChecked(false);  // a click in the enabled error group

    Show(Block{});
    for (QCheckBox* box : page.findChildren<QCheckBox*>()) EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    for (QCheckBox* box : view.findChildren<QCheckBox*>()) EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(Text("onfNTC1"), QStringLiteral("  0,00"));
    EXPECT_EQ(Text("onfStateTimer"), QStringLiteral("          0"));
    EXPECT_EQ(List("ocbKorvelState")->currentIndex(), 0);

    Show(ones);
    EXPECT_TRUE(Box("cbNTC1Error")->isChecked());  // the click lasted until this report
}

TEST_F(ReportView, IndexBeyondTheListShowsBlank) {
    Block b;
    b.Set(48, {17});
    b.Set(89, {5});
    Show(b);
    EXPECT_EQ(List("ocbKorvelState")->currentIndex(), -1);
    EXPECT_EQ(List("ocbKorvelState")->currentText(), QString());
    EXPECT_EQ(List("ocbOpMode")->currentText(), QString());
    b.Set(48, {255});
    Show(b);
    EXPECT_EQ(List("ocbKorvelState")->currentIndex(), -1);
    b.Set(48, {3});
    Show(b);
    EXPECT_EQ(List("ocbKorvelState")->currentText(), QStringLiteral("3 - Alleen buitenunit"));
}

TEST_F(ReportView, ShortReportIsIgnoredWithATrace) {
    Block good;
    good.Set(1, {0x66, 0x08});
    good.Set(90, {1});
    Show(good);

    // A short report: its tail in the buffer is still the previous block's bytes.
    Block stale = good;
    stale.Set(1, {0x00, 0x00});
    for (int32_t size : {113, 50, 2, 0, -5}) {
        host.ClearRecords();
        Show(stale, size);
        EXPECT_EQ(Text("onfNTC1"), QStringLiteral(" 21,50")) << size;
        EXPECT_TRUE(Box("cbOnOff")->isChecked()) << size;
        ASSERT_EQ(host.Traces().size(), 1u) << size;
        EXPECT_NE(host.Traces().front().find("ignored"), std::string::npos);
    }
    ShowRealtimeReport(nullptr, 515, page, view, host);
    EXPECT_EQ(Text("onfNTC1"), QStringLiteral(" 21,50"));

    // A longer block (future firmware adding fields) still shows what the layout knows.
    Show(stale, 200);
    EXPECT_EQ(Text("onfNTC1"), QStringLiteral("  0,00"));
}

TEST_F(ReportView, HiddenAdvancedViewIsUpdatedAndShowsTheValuesWhenOpened) {
    ASSERT_FALSE(view.isVisible());
    Block b;
    b.Set(75, {0xD7, 0x00});  // 21.5
    b.Set(87, {0x01});
    Show(b);
    view.ShowFrom(QStringLiteral("caption"));
    EXPECT_EQ(Text("onfTMean"), QStringLiteral(" 21,5"));
    EXPECT_TRUE(Box("cbU1")->isChecked());
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A field narrower than its text scrolls and hides the leading digits or the minus sign: the
// extremes the report can carry must show whole.
TEST(ReportViewWidths, ExtremeValuesFitTheirFields) {
    TMonitorPage page;
    TAdvancedViewForm view;
    test::FakeUiHost host;
    for (bool lowest : {true, false}) {
        std::array<uint8_t, 515> data{};
        data[0] = 16;
        for (const TReportField& f : RealtimeReportFields()) {
            const bool s16 = f.Type == TReportType::s16;
            data[f.Offset] = lowest && s16 ? 0x00 : 0xFF;
            if (f.Type != TReportType::u8) data[f.Offset + 1] = lowest && s16 ? 0x80 : (s16 ? 0x7F : 0xFF);
        }
        ShowRealtimeReport(data.data(), 114, page, view, host);
        for (QWidget* root : {static_cast<QWidget*>(&page), static_cast<QWidget*>(&view)}) {
            for (auto* field : root->findChildren<TNumericField*>()) {
                const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
                const int room = field->width() - 2 * frame - 4;
                EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), room)
                    << field->objectName().toStdString() << " '" << field->text().toStdString() << "'";
            }
        }
    }
}

}  // namespace
}  // namespace korvel
