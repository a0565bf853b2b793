#include <qcustomplot.h>

#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <utility>

#include "charts/chart_form.h"
#include "settings/curve_preview.h"
#include "settings/stook_lijn_frame.h"
#include "ui_settings/settings_fixture.h"

namespace korvel::test {
namespace {

using Points = std::vector<std::pair<double, double>>;  // outdoor, water

// The points drawn for the curve captioned so; each one must lie inside the picture.
Points Drawn(const TCurvePreview& preview, const char* caption) {
    const TSeriesPlot& plot = *preview.Plot;
    for (int s = 0; s < plot.SeriesCount(); ++s) {
        if (plot.SeriesAt(s).Caption != QString::fromUtf8(caption)) continue;
        const QCPGraph* graph = plot.Plot()->graph(s);
        Points points;
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
            EXPECT_TRUE(graph->keyAxis()->range().contains(it->key)) << caption << " x " << it->key;
            EXPECT_TRUE(graph->valueAxis()->range().contains(it->value)) << caption << " y " << it->value;
            points.emplace_back(it->key, it->value);
        }
        return points;
    }
    ADD_FAILURE() << "no curve " << caption;
    return {};
}

void Type(TNumericField* field, const char* text) {
    field->setText(QString::fromLatin1(text));
    emit field->textEdited(field->text());
}

void PutWord(std::vector<uint8_t>& report, uint16_t address, double tenths) {
    const auto word = static_cast<uint16_t>(static_cast<int16_t>(tenths * 10));
    report[1 + address] = static_cast<uint8_t>(word & 0xFF);
    report[2 + address] = static_cast<uint8_t>(word >> 8);
}

TEST_F(SettingsTest, CurvePreviewFollowsTheFieldsAndLeavesOutACurveWithAWrongEntry) {
    const TCurvePreview& preview = *form->TabSheetService->CurvePreview;
    TStookLijnFrame& rh = *form->TabSheetService->StooklijnRH;
    const char* const caption = "Radiatoren stooklijn hoog";
    std::vector<uint8_t> report(NVM_REPORT_SIZE);
    report[0] = K2PRGETNVM;
    PutWord(report, 8, -5.0);   // XMin
    PutWord(report, 10, 15.0);  // XMax
    PutWord(report, 12, 35.0);  // YMin
    PutWord(report, 14, 75.0);  // YMax
    const struct {
        const char* step;
        std::function<void()> act;
        Points rh;  // empty: left out
    } steps[] = {
        {"defaults at start", [] {}, {{-10, 90}, {20, 40}}},
        {"YMax typed", [&] { Type(rh.YMax, "85.5"); }, {{-10, 85.5}, {20, 40}}},
        {"XMin past its limits", [&] { Type(rh.XMin, "120.0"); }, {}},
        {"XMin emptied", [&] { Type(rh.XMin, ""); }, {}},
        {"XMin right again", [&] { Type(rh.XMin, "-15.0"); }, {{-15, 85.5}, {20, 40}}},
        {"XMax below XMin", [&] { Type(rh.XMax, "-20.0"); }, {{-20, 40}, {-15, 85.5}}},
        {"YMin set past its limits", [&] { rh.YMin->SetValue(150); }, {}},
        {"fetched", [&] { Receive(report); }, {{-5, 75}, {15, 35}}},
        {"defaults", [&] { form->SetDefaults(); }, {{-10, 90}, {20, 40}}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        EXPECT_EQ(Drawn(preview, caption), s.rh);
    }
    // Every curve by its caption, colder outside giving warmer water.
    const struct {
        const char* caption;
        Points points;
    } curves[] = {
        {"Koellijn", {{21, 21}, {30, 17}}},
        {"Radiatoren stooklijn hoog", {{-10, 90}, {20, 40}}},
        {"Radiatoren stooklijn Laag", {{-10, 70}, {20, 40}}},
        {"Vloerverwarming stooklijn hoog", {{-10, 50}, {20, 30}}},
        {"Vloerverwarming stooklijn laag", {{-10, 40}, {20, 30}}},
    };
    EXPECT_EQ(preview.Plot->SeriesCount(), 5);
    for (const auto& c : curves) EXPECT_EQ(Drawn(preview, c.caption), c.points) << c.caption;
}

TEST_F(SettingsTest, CurvePreviewSavesAsPngOrSaysItCannot) {
    Connect();
    ChooseService();
    form->show();  // the picture has the size the engineer sees
    QApplication::processEvents();
    host.ClearRecords();  // the reminder of the switch on the board
    TCurvePreview& preview = *form->TabSheetService->CurvePreview;
    ASSERT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.SavePngAction->text(), QStringLiteral("Opslaan als P&NG..."));
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stooklijnen.png"));
    ASSERT_TRUE(preview.SavePng(path));
    const QImage image(path);
    EXPECT_EQ(image.size(), form->TabSheetService->SpareArea().size());
    // The high radiator curve is in the picture, not only the axes.
    const QRgb red = preview.Plot->SeriesColour(1).rgb();
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x) found = image.pixel(x, y) == red;
    EXPECT_TRUE(found);
    EXPECT_TRUE(host.Boxes().empty());

    const QString bad = dir.filePath(QStringLiteral("no/such/dir/stooklijnen.png"));
    EXPECT_FALSE(preview.SavePng(bad));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{FormatText(MSG_PNG_NOT_SAVED, {bad.toStdString()})});
}

}  // namespace
}  // namespace korvel::test
