// Stored placements through Qt's settings store, in a folder of each test's own.
#include "app/widget_form_state.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

#include "app/global_data_module.h"
#include "messages/advanced_view_form.h"
#include "support/fake_ui_host.h"

namespace korvel {
namespace {

class StoredPlacement : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }
    void TearDown() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qEnvironmentVariable("XDG_CONFIG_HOME"));
    }
    QString File() const { return dir.filePath(QStringLiteral("Ventrabo/KorvelSim.conf")); }
    // What the file holds, read as the file it is.
    std::string Stored(const char* key) const {
        return QSettings(File(), QSettings::IniFormat).value(QLatin1String(key)).toString().toStdString();
    }
    void Store(std::initializer_list<std::pair<const char*, const char*>> values) {
        QSettings settings(File(), QSettings::IniFormat);
        for (const auto& [key, value] : values) settings.setValue(QLatin1String(key), QString::fromLatin1(value));
    }
    std::unique_ptr<TWidgetFormState> Attach(QWidget& w, const char* section, bool main = false) {
        auto state = std::make_unique<TWidgetFormState>(w, data.OvcRegistryStore, section, host, main);
        state->RestoreState();
        return state;
    }
    static QWidget* Designed() {
        auto* w = new QWidget;
        w->setGeometry(200, 100, 907, 682);
        return w;
    }

    QTemporaryDir dir;
    test::FakeUiHost host;
    TGlobalDataModule data;
};

TEST_F(StoredPlacement, ClosedWindowComesBackWhereItWas) {
    std::unique_ptr<QWidget> w(Designed());
    auto state = Attach(*w, "TMainForm", true);
    EXPECT_EQ(w->geometry(), QRect(200, 100, 907, 682));  // first run: as designed
    w->show();
    w->setGeometry(100, 50, 700, 500);
    w->close();
    EXPECT_EQ(Stored("TMainForm/NormalPos"), "100,50,800,550");
    EXPECT_EQ(Stored("TMainForm/ShowCmd"), "1");
    EXPECT_EQ(Stored("TMainForm/Flags"), "0");
    EXPECT_EQ(Stored("TMainForm/PixelsPerInch"), "96");
    const QColor c = w->palette().color(QPalette::Window);  // as red | green << 8 | blue << 16
    EXPECT_EQ(Stored("TMainForm/Color"), std::to_string(c.red() | c.green() << 8 | c.blue() << 16));

    std::unique_ptr<QWidget> again(Designed());
    auto againState = Attach(*again, "TMainForm", true);
    EXPECT_EQ(again->geometry(), QRect(100, 50, 700, 500));
    EXPECT_FALSE(again->isVisible());
    EXPECT_TRUE(host.Boxes().empty());
}

TEST_F(StoredPlacement, MaximisedStaysMaximisedWithItsNormalPlace) {
    std::unique_ptr<QWidget> w(Designed());
    auto state = Attach(*w, "TMainForm", true);
    w->show();
    w->setGeometry(100, 50, 700, 500);
    w->showMaximized();
    w->close();
    EXPECT_EQ(Stored("TMainForm/ShowCmd"), "3");
    EXPECT_EQ(Stored("TMainForm/NormalPos"), "100,50,800,550");

    std::unique_ptr<QWidget> again(Designed());
    auto againState = Attach(*again, "TMainForm", true);
    again->show();
    EXPECT_TRUE(again->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(again->normalGeometry(), QRect(100, 50, 700, 500));
}

TEST_F(StoredPlacement, OnlyTheEngineersCloseSavesNotTheToolsHide) {
    std::unique_ptr<QWidget> w(Designed());
    auto state = Attach(*w, "TAdvancedViewForm");
    w->show();
    w->hide();  // as a mode change does
    EXPECT_FALSE(QFile::exists(File()));
    w->show();
    w->setGeometry(30, 40, 907, 682);
    w->close();
    EXPECT_EQ(Stored("TAdvancedViewForm/NormalPos"), "30,40,937,722");
}

TEST_F(StoredPlacement, ToolWindowTakesThePositionButKeepsItsSize) {
    Store({{"TAdvancedViewForm/NormalPos", "10,20,30,40"}, {"TAdvancedViewForm/ShowCmd", "1"},
           {"TAdvancedViewForm/PixelsPerInch", "96"}});
    TAdvancedViewForm view;
    ASSERT_EQ(view.logicalDpiY(), 96);
    auto state = Attach(view, "TAdvancedViewForm");
    EXPECT_EQ(view.geometry(), QRect(10, 20, 659, 514));
}

TEST_F(StoredPlacement, UnplacedToolWindowIsCentredRatherThanSavedInTheCorner) {
    TAdvancedViewForm view;
    auto state = Attach(view, "TAdvancedViewForm");
    state->WindowDestroying();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(view.geometry().center(), screen.center());
    const QRect stored(view.geometry());
    EXPECT_EQ(Stored("TAdvancedViewForm/NormalPos"), std::to_string(stored.left()) + ',' + std::to_string(stored.top()) +
                                                          ',' + std::to_string(stored.left() + 659) + ',' +
                                                          std::to_string(stored.top() + 514));
}

TEST_F(StoredPlacement, PlacementsThatCannotApplyAreLeftOut) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Row {
        const char* what;
        const char* pos;
        const char* ppi;
        QRect expected;
    };
    const Row rows[] = {
        {"other display scaling", "100,50,900,650", "120", QRect(200, 100, 907, 682)},
        {"monitor gone", "-5000,-4000,-4200,-3400", "96", QRect(screen.topLeft(), QSize(800, 600))},
        {"damaged: the window's own numbers, moved into view", "\x01\xff,,", "96",
         QRect(screen.right() + 1 - 907, screen.bottom() + 1 - 682, 907, 682)},
        {"larger than the screen", "0,0,2147483647,2147483647", "96", QRect(200, 100, 907, 682)},
        {"partly off the screen", "-300,400,300,900", "96", QRect(screen.left(), screen.bottom() + 1 - 500, 600, 500)},
        {"from a larger screen", "1000,300,1907,982", "96",
         QRect(screen.right() + 1 - 907, screen.bottom() + 1 - 682, 907, 682)},
    };
    for (const Row& r : rows) {
        Store({{"TMainForm/NormalPos", r.pos}, {"TMainForm/ShowCmd", "1"}, {"TMainForm/PixelsPerInch", r.ppi}});
        std::unique_ptr<QWidget> w(Designed());
        auto state = Attach(*w, "TMainForm", true);
        EXPECT_EQ(w->geometry(), r.expected) << r.what;
    }
}

TEST_F(StoredPlacement, DamagedFileNeverStopsTheWindowAndIsWrittenAfresh) {
    QDir().mkpath(dir.filePath(QStringLiteral("Ventrabo")));
    QFile file(File());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray junk("[TMainForm\n\x00\xff\xfe=\"", 17);
    for (int i = 0; i < 500; ++i) junk.append(static_cast<char>(i * 37));
    file.write(junk);
    file.close();

    std::unique_ptr<QWidget> w(Designed());
    auto state = Attach(*w, "TMainForm", true);
    EXPECT_EQ(w->geometry(), QRect(200, 100, 907, 682));
    w->show();
    w->close();
    EXPECT_EQ(Stored("TMainForm/NormalPos"), "200,100,1107,782");
    EXPECT_TRUE(host.Boxes().empty());
}

TEST_F(StoredPlacement, StoreThatCannotBeWrittenIsReportedAndTheWindowStillCloses) {
    // A folder where the file should be: nothing can be read or written there, even as root.
    ASSERT_TRUE(QDir().mkpath(File()));
    std::unique_ptr<QWidget> w(Designed());
    auto state = Attach(*w, "TMainForm", true);
    EXPECT_EQ(w->geometry(), QRect(200, 100, 907, 682));
    w->show();
    w->close();
    EXPECT_FALSE(w->isVisible());
    std::vector<std::string> texts;
    for (const auto& box : host.Boxes()) {
        EXPECT_EQ(box.type, TMsgDlgType::mtError);
        texts.push_back(box.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Cannot read the window placements from " + File().toStdString(),
                                               "Cannot save the window placements in " + File().toStdString()}));
}

}  // namespace
}  // namespace korvel
