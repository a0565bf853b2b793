#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "datalog/data_log.h"
#include "datalog/locale_log_time.h"
#include "charts/log_reader.h"
#include "messages/realtime_report.h"
#include "scenario.h"
#include "ui_app/main_form_fixture.h"
#include "widgets/numeric_field.h"

namespace korvel::test {
namespace {

class DataLogUiTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        now = QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0));
        form->Now = [this] { return now; };
        path = dir.filePath("log.csv");
    }
    void TearDown() override {
        MainFormTest::TearDown();
        QLocale::setDefault(QLocale::c());
    }
    QStringList Lines() const {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
        return lines;
    }
    QStringList Fields(const QString& line) const { return line.split(QLatin1Char(';')); }
    void BlockAfter(int ms) {
        now = now.addMSecs(ms);
        Receive({35});
    }
    template <typename T>
    T* Field(const char* name) {
        T* w = form->findChild<T*>(name);
        if (w == nullptr) w = view->findChild<T*>(name);
        return w;
    }

    QTemporaryDir dir;
    QString path;
    QDateTime now;
};

TEST_F(DataLogUiTest, StartWritesHeaderAndRowsAtMostEveryFiveSeconds) {
    form->StartLoggingActionAccept(path);
    EXPECT_FALSE(form->StartLoggingAction->isEnabled());
    EXPECT_TRUE(form->StopLoggingAction->isEnabled());

    BlockAfter(0);
    BlockAfter(400);
    BlockAfter(400);
    QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QString::fromUtf8(LOGFILEHEADER));

    // One block a second for 12 seconds: rows 5 s apart, never closer.
    for (int i = 0; i < 12; ++i) BlockAfter(1000);
    lines = Lines();
    ASSERT_EQ(lines.size(), 1 + 3);
    for (const QString& row : lines.mid(1)) {
        const QStringList f = Fields(row);
        ASSERT_EQ(f.size(), 50) << row.toStdString();  // 49 fields, each followed by ';'
        EXPECT_TRUE(f.back().isEmpty());
    }
}

TEST_F(DataLogUiTest, RowTakesTheDisplayedTextsInColumnOrder) {
    QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
    Field<TNumericField>("onfNTC1")->SetValue(-5.25);
    Field<QComboBox>("ocbKorvelState")->setCurrentIndex(-1);
    Field<QComboBox>("ocbOpMode")->setCurrentIndex(1);
    Field<QCheckBox>("cbOnOff")->setChecked(true);
    Field<QCheckBox>("cbNTC2Error")->setChecked(true);
    Field<QCheckBox>("cbU7")->setChecked(true);
    Field<TNumericField>("nfModBus4416")->SetValue(-12);

    form->StartLoggingActionAccept(path);
    BlockAfter(0);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    const QStringList f = Fields(lines[1]);
    ASSERT_EQ(f.size(), 50);
    EXPECT_EQ(f[0], TMainForm::ArrivalText(now));
    EXPECT_TRUE(lines[1].startsWith(f[0] + ";;"));  // no operating state selected
    EXPECT_EQ(f[17], QStringLiteral(" -5,25"));
    EXPECT_EQ(f[19], QStringLiteral("1: Heat"));
    EXPECT_EQ(f[20], QStringLiteral("1"));
    EXPECT_EQ(f[7], QStringLiteral("TRUE"));   // NTC sensor 2 error
    EXPECT_EQ(f[6], QStringLiteral("FALSE"));  // NTC sensor 1 error
    EXPECT_EQ(f[44], QStringLiteral("TRUE"));  // U7
    EXPECT_EQ(f[48], Field<TNumericField>("nfModBus4416")->text());
    for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 38, 39, 40, 41, 42, 43, 44})
        EXPECT_TRUE(f[i] == "TRUE" || f[i] == "FALSE") << i;

    Field<QCheckBox>("cbOnOff")->setChecked(false);
    BlockAfter(5000);
    EXPECT_EQ(Fields(Lines()[2])[20], QStringLiteral("0"));
}

TEST_F(DataLogUiTest, ExistingFileAndRestartAppendWithoutHeader) {
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier line\r\n");
    }
    form->StartLoggingActionAccept(path);
    BlockAfter(0);
    form->StopLoggingAction->trigger();
    EXPECT_FALSE(form->Logging());
    EXPECT_TRUE(form->StartLoggingAction->isEnabled());
    EXPECT_FALSE(form->StopLoggingAction->isEnabled());
    BlockAfter(6000);  // not logging: no row

    form->StartLoggingActionAccept(path);
    BlockAfter(1);  // the first block after a start always writes
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("earlier line"));
    EXPECT_FALSE(lines[1].startsWith(QStringLiteral("Date/Time")));
    EXPECT_FALSE(lines[2].startsWith(QStringLiteral("Date/Time")));
}

TEST_F(DataLogUiTest, StartFailureLeavesLoggingOffAndReachesTheErrorDisplay) {
    const QString bad = dir.filePath("no/such/dir/log.csv");
    EXPECT_ANY_THROW(form->StartLoggingActionAccept(bad));
    EXPECT_FALSE(form->Logging());
    EXPECT_TRUE(form->StartLoggingAction->isEnabled());
    EXPECT_FALSE(form->StopLoggingAction->isEnabled());
}

// In every locale Qt knows the time column is the locale's short date, a blank and its long time as
// Qt writes them (the zone left out), the date alone at midnight; and the viewer reads it back to
// the second in that locale, on a machine with other settings the same or not at all, and the ISO
// rows of the last version in every locale.
TEST_F(DataLogUiTest, TheTimeColumnIsTheLocalesAndReadsBackInEveryLocale) {
    const QDate day(2026, 3, 14);
    const QTime times[] = {QTime(0, 0), QTime(0, 0, 1), QTime(12, 30, 59), QTime(13, 5, 9), QTime(23, 59, 59)};
    std::string values;
    for (size_t c = 1; c < TDataLog::kColumns; ++c) values += ";0";
    const QList<QLocale> locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    std::vector<TLogTimeFormat> formats;
    for (const QLocale& l : locales) formats.push_back(LogTimeFormatOf(l));
    const TLogTimeFormat dutch = LogTimeFormatOf(QLocale(QLocale::Dutch, QLocale::Netherlands));
    std::string iso = LOGFILEHEADER;
    std::vector<double> expected;
    for (const QTime& t : times) {
        iso += "\r\n" + FormatLogTime({2026, 3, 14, t.hour(), t.minute(), t.second()}) + values + ';';
        expected.push_back(static_cast<double>(QDateTime(day, t, Qt::UTC).toSecsSinceEpoch()));
    }
    for (qsizetype k = 0; k < locales.size(); ++k) {
        const QLocale& l = locales[k];
        SCOPED_TRACE(l.name().toStdString());
        QLocale::setDefault(l);
        std::string log = LOGFILEHEADER;
        for (const QTime& t : times) {
            const QString text = TMainForm::ArrivalText(QDateTime(day, t));
            QString qt = l.toString(day, QLocale::ShortFormat);
            if (t != QTime(0, 0)) qt += ' ' + l.toString(t, l.timeFormat(QLocale::LongFormat));
            const auto plain = [&](QString s) {
                s.remove(l.toString(t, QStringLiteral("t")));
                s.remove(QRegularExpression(QStringLiteral("[()\\[\\],]")));
                return s.simplified();
            };
            EXPECT_EQ(plain(text), plain(qt));
            log += "\r\n" + text.toStdString() + values + ';';
        }
        EXPECT_EQ(ReadLog(log, formats[static_cast<size_t>(k)], formats).Table.Time, expected) << log;
        // Elsewhere the same times, or none and why: never another time.
        const TLogReadResult elsewhere = ReadLog(log, dutch, formats);
        if (elsewhere.Table.Time != expected) {
            EXPECT_TRUE(elsewhere.Table.Time.empty() && elsewhere.Table.UnclearRows == std::size(times)) << log;
        }
        EXPECT_EQ(ReadLog(iso, formats[static_cast<size_t>(k)], formats).Table.Time, expected);
    }
}

// korvel-cli writes its log from the reports without a window: a day of plausible reports and
// reports of odd bytes give the same cells as the window's fields, in either decimal separator.
TEST_F(DataLogUiTest, HeadlessRowsAreTheWindowsCellForCell) {
    std::vector<std::vector<uint8_t>> reports;
    for (double t = 0; t < 86400; t += 1789) reports.push_back(sim::ScenarioReport(1.78e9 + t));
    uint32_t seed = 7;
    for (int i = 0; i < 40; ++i) {
        std::vector<uint8_t> odd(REALTIME_REPORT_SIZE);
        for (uint8_t& b : odd) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
        odd[0] = K2MSENDMONDATA;
        reports.push_back(odd);
    }
    for (const auto& [locale, separator] :
         {std::pair{QLocale::c(), '.'}, std::pair{QLocale(QLocale::Dutch, QLocale::Netherlands), ','}}) {
        QLocale::setDefault(locale);
        for (const auto& report : reports) {
            Receive(report);
            ASSERT_EQ(form->LogColumns(), LogColumnsOf(DecodeRealtimeReport(report.data(), report.size()), separator));
        }
    }
}

TEST_F(DataLogUiTest, ClosingTheWindowKeepsTheLastRow) {
    form->StartLoggingActionAccept(path);
    BlockAfter(0);
    form.reset();
    EXPECT_EQ(Lines().size(), 2);
}

}  // namespace
}  // namespace korvel::test
