#include "app/form_state.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace korvel {
namespace {

using Values = std::map<std::string, std::string>;  // "Section/Item" -> text

class MemoryKey : public TRegistryKey {
public:
    explicit MemoryKey(Values& values) : values_(values) {}
    void Open(TRegistryRoot root, const std::string& keyName) override {
        ++opens;
        lastRoot = root;
        lastKey = keyName;
    }
    void Close() override {
        ++closes;
        if (failClose) throw std::runtime_error("cannot write");
    }
    std::optional<std::string> Read(const std::string& section, const std::string& item) override {
        if (failRead) throw std::runtime_error("cannot read");
        const auto it = values_.find(section + "/" + item);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    void Write(const std::string& section, const std::string& item, const std::string& value) override {
        values_[section + "/" + item] = value;
    }
    void EraseSection(const std::string& section) override {
        std::erase_if(values_, [&](const auto& kv) { return kv.first.rfind(section + "/", 0) == 0; });
    }
    int opens = 0, closes = 0;
    bool failClose = false, failRead = false;
    TRegistryRoot lastRoot = rrCurrentUser;
    std::string lastKey;

private:
    Values& values_;
};

class FakeWindow : public TFormWindow {
public:
    int32_t PixelsPerInch() const override { return ppi; }
    TRect NormalBounds() const override { return bounds; }
    TWindowState WindowState() const override { return state; }
    uint32_t PlacementFlags() const override { return 0; }
    uint32_t Color() const override { return 0xF0F0F0; }
    TRect WorkArea(const TRect&) const override { return area; }
    bool Sizeable() const override { return sizeable; }
    bool IsMainWindow() const override { return main; }
    void SetNormalBounds(const TRect& r) override {
        bounds = r;
        ++placed;
    }
    void SetWindowState(TWindowState s) override {
        state = s;
        ++stateSet;
    }
    void MinimizeApplication() override { ++appMinimized; }
    void Repaint() override { ++repaints; }

    int32_t ppi = 96;
    TRect bounds{200, 100, 1107, 782};  // designed: 907 x 682
    TRect area{0, 0, 1920, 1050};
    TWindowState state = TWindowState::wsNormal;
    bool sizeable = true, main = true;
    int placed = 0, stateSet = 0, appMinimized = 0, repaints = 0;
};

struct Fixture {
    Values values;
    MemoryKey* key;
    TOvcRegistryStore store;
    FakeWindow window;
    TOvcFormState state;
    Fixture()
        : key(new MemoryKey(values)), store(std::unique_ptr<TRegistryKey>(key)), state(window, store, "TMainForm") {}
};

TEST(RegistryStore, KeyNameRootAndCountedOpening) {
    Values values;
    auto* key = new MemoryKey(values);
    TOvcRegistryStore store{std::unique_ptr<TRegistryKey>(key)};
    store.SetKeyName("\\\\Software\\Ventrabo\\KorvelSim\\");
    EXPECT_EQ(store.KeyName(), "Software\\Ventrabo\\KorvelSim");
    EXPECT_THROW(store.ReadString("S", "I", ""), std::logic_error);

    store.SetRegistryRoot(rrLocalMachine);
    store.Open();
    store.Open();
    EXPECT_EQ(key->opens, 1);
    EXPECT_EQ(key->lastRoot, rrLocalMachine);
    EXPECT_EQ(key->lastKey, "Software\\Ventrabo\\KorvelSim");
    store.WriteInteger("S", "Number", -42);
    store.WriteString("T", "Text", "x");
    store.Close();
    EXPECT_EQ(key->closes, 0);
    EXPECT_EQ(store.ReadInteger("S", "Number", 0), -42);
    EXPECT_EQ(values["S/Number"], "-42");
    store.EraseSection("S");
    EXPECT_EQ(store.ReadString("S", "Number", "gone"), "gone");
    EXPECT_EQ(store.ReadString("T", "Text", ""), "x");
    store.Close();
    store.Close();  // one too many does nothing
    EXPECT_EQ(key->closes, 1);
    EXPECT_EQ(store.OpenCount(), 0);
}

TEST(RegistryStore, IntegersReadBackOrTheDefault) {
    const std::pair<const char*, int32_t> rows[] = {
        {"12", 12}, {" 7 ", 7}, {"-3", -3}, {"+5", 5}, {"2147483647", 2147483647},
        {"", -1}, {"abc", -1}, {"12abc", -1}, {"1 2", -1}, {"2147483648", -1}, {"0x10", -1}, {"1.5", -1},
    };
    for (const auto& [text, expected] : rows) {
        Fixture f;
        f.values["S/I"] = text;
        f.store.Open();
        EXPECT_EQ(f.store.ReadInteger("S", "I", -1), expected) << '"' << text << '"';
        f.store.Close();
    }
}

TEST(FormState, SaveWritesTheFiveValues) {
    Fixture f;
    f.state.SaveState();  // before any restore: nothing
    EXPECT_TRUE(f.values.empty());
    f.state.RestoreState();
    f.window.bounds = {100, 50, 900, 650};
    f.state.SaveState();
    EXPECT_EQ(f.values, (Values{{"TMainForm/Flags", "0"},
                                {"TMainForm/ShowCmd", "1"},
                                {"TMainForm/NormalPos", "100,50,900,650"},
                                {"TMainForm/PixelsPerInch", "96"},
                                {"TMainForm/Color", "15790320"}}));
    EXPECT_EQ(f.key->opens, 2);
    EXPECT_EQ(f.key->closes, 2);
    for (const auto& [state, showCmd] :
         {std::pair{TWindowState::wsMaximized, "3"}, std::pair{TWindowState::wsMinimized, "2"}}) {
        f.window.state = state;
        f.state.SaveState();
        EXPECT_EQ(f.values["TMainForm/ShowCmd"], showCmd);
    }
}

TEST(FormState, RestoreTable) {
    const TRect designed{200, 100, 1107, 782};
    struct Row {
        const char* what;
        Values stored;
        bool sizeable, main;
        TRect bounds;
        TWindowState state;
        int stateSet, appMinimized;
        TRect area = {0, 0, 1920, 1050};
    };
    const TRect small{0, 0, 1024, 738};  // 1024 x 768 less a task bar
    const auto at = [](const char* pos, const char* cmd, const char* ppi = "96") {
        Values v{{"TMainForm/NormalPos", pos}, {"TMainForm/ShowCmd", cmd}, {"TMainForm/PixelsPerInch", ppi}};
        return v;
    };
    using S = TWindowState;
    const Row rows[] = {
        {"first run", {}, true, true, designed, S::wsNormal, 0, 0},
        {"stored", at("100,50,900,650", "1"), true, true, {100, 50, 900, 650}, S::wsNormal, 1, 0},
        {"maximised", at("100,50,900,650", "3"), true, true, {100, 50, 900, 650}, S::wsMaximized, 1, 0},
        {"main minimised: the application is", at("1,2,803,604", "2"), true, true, {1, 2, 803, 604}, S::wsNormal, 0, 1},
        {"SW_MINIMIZE too", at("1,2,803,604", "6"), true, true, {1, 2, 803, 604}, S::wsNormal, 0, 1},
        {"other window minimised", at("1,2,803,604", "2"), true, false, {1, 2, 803, 604}, S::wsMinimized, 1, 0},
        {"unknown show command", at("1,2,803,604", "9"), true, true, {1, 2, 803, 604}, S::wsNormal, 1, 0},
        {"other screen scaling", at("100,50,900,650", "3", "120"), true, true, designed, S::wsNormal, 0, 0},
        {"no NormalPos: not even the state", {{"TMainForm/ShowCmd", "3"}}, true, true, designed, S::wsNormal, 0, 0},
        {"empty NormalPos", at("", "3"), true, true, designed, S::wsNormal, 0, 0},
        {"right not past left: state only", at("500,50,500,650", "3"), true, true, designed, S::wsMaximized, 1, 0},
        {"malformed numbers: current ones", at("10,x,,", "1"), true, true, {10, 100, 1107, 782}, S::wsNormal, 1, 0},
        {"too few numbers", at("10,20", "1"), true, true, {10, 20, 1107, 782}, S::wsNormal, 1, 0},
        {"tool window keeps its size", at("10,20,30,40", "1"), false, false, {10, 20, 917, 702}, S::wsNormal, 1, 0},
        {"damaged ShowCmd: normal", at("1,2,803,604", "max"), true, true, {1, 2, 803, 604}, S::wsNormal, 1, 0},
        {"no PixelsPerInch: current", {{"TMainForm/NormalPos", "1,2,803,604"}}, true, true, {1, 2, 803, 604},
         S::wsNormal, 1, 0},
        {"bottom not past top: state only", at("100,650,900,50", "3"), true, true, designed, S::wsMaximized, 1, 0},
        {"sums past int: as designed", at("0,0,2147483647,2147483647", "1"), true, true, designed, S::wsNormal, 1, 0},
        {"larger than the screen", at("100,100,40000,30000", "1"), true, true, designed, S::wsNormal, 1, 0},
        {"from a larger screen: moved into view", at("1000,300,1907,982", "1"), true, true, {117, 56, 1024, 738},
         S::wsNormal, 1, 0, small},
        {"too large for this screen: as designed", at("0,0,1280,1000", "1"), true, true, designed, S::wsNormal, 1, 0,
         small},
        {"tool window at int's end", at("2147483647,2147483647,0,0", "1"), false, false, {1013, 368, 1920, 1050},
         S::wsNormal, 1, 0},
    };
    for (const Row& r : rows) {
        Fixture f;
        f.values = r.stored;
        f.window.sizeable = r.sizeable;
        f.window.main = r.main;
        f.window.area = r.area;
        f.state.RestoreState();
        EXPECT_EQ(f.window.bounds, r.bounds) << r.what;
        EXPECT_EQ(f.window.state, r.state) << r.what;
        EXPECT_EQ(f.window.stateSet, r.stateSet) << r.what;
        EXPECT_EQ(f.window.appMinimized, r.appMinimized) << r.what;
        EXPECT_EQ(f.store.OpenCount(), 0) << r.what;
        EXPECT_EQ(f.values, r.stored) << r.what;  // restoring writes nothing
    }
}

TEST(FormState, SavedOnDestructionOnlyIfNotSavedSinceTheRestore) {
    Fixture f;
    f.state.WindowDestroying();  // never restored: never saved
    EXPECT_TRUE(f.values.empty());
    f.state.RestoreState();
    f.state.SaveState();
    f.values.clear();
    f.state.WindowDestroying();
    EXPECT_TRUE(f.values.empty());
    f.state.RestoreState();
    f.state.WindowDestroying();
    EXPECT_EQ(f.values.size(), 5u);
    f.state.Active = false;
    f.values.clear();
    f.state.RestoreState();
    f.state.SaveState();
    EXPECT_TRUE(f.values.empty());
}

TEST(FormState, StoreErrorsPassOnAndLeaveTheStoreClosed) {
    Fixture f;
    f.key->failRead = true;
    EXPECT_THROW(f.state.RestoreState(), std::runtime_error);
    EXPECT_EQ(f.store.OpenCount(), 0);
    EXPECT_EQ(f.key->closes, 1);
    f.key->failRead = false;
    f.key->failClose = true;
    EXPECT_THROW(f.state.SaveState(), std::runtime_error);
    EXPECT_EQ(f.store.OpenCount(), 0);
    EXPECT_FALSE(f.state.SavedSinceRestore());  // so destruction tries again
}

}  // namespace
}  // namespace korvel
