#include "settings/nvm_parameters.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "messages/message_ids.h"

namespace korvel {

namespace {

using E = TNvmEncoding;
using R = TNvmReadAs;
using K = TNvmFieldKind;
using W = TNvmWindow;

constexpr double kFloatMax = std::numeric_limits<float>::max();
constexpr double kNoDefault = 0.0;

// ---- The table's data, in the shapes the board lays it out ----

// Each curve's four words lie XMin, XMax, YMin, YMax.
struct TCurve {
    std::array<std::string_view, 4> Controls;
    std::string_view Caption;
    uint16_t Base;
    std::array<double, 4> Defaults;
};
#define KORVEL_CURVE(frame) {frame ".XMin", frame ".XMax", frame ".YMin", frame ".YMax"}
constexpr std::array<std::string_view, 4> kCurveColumns = {"XMin", "XMax", "YMin", "YMax"};
constexpr TCurve kCurves[] = {
    {KORVEL_CURVE("StooklijnRL"), "Radiatoren stooklijn Laag", 0, {-10.0, 20.0, 40.0, 70.0}},
    {KORVEL_CURVE("StooklijnRH"), "Radiatoren stooklijn hoog", 8, {-10.0, 20.0, 40.0, 90.0}},
    {KORVEL_CURVE("StooklijnFL"), "Vloerverwarming stooklijn laag", 16, {-10.0, 20.0, 30.0, 40.0}},
    {KORVEL_CURVE("StooklijnFH"), "Vloerverwarming stooklijn hoog", 24, {-10.0, 20.0, 30.0, 50.0}},
    {KORVEL_CURVE("StooklijnCool"), "Koellijn", 32, {21.0, 30.0, 17.0, 21.0}},
};
#undef KORVEL_CURVE

// Each frame's five words lie X1Max, X1Min, X2Max, X2Min, DeltaT.
struct TTimeConstants {
    std::array<std::string_view, 5> Controls;
    std::string_view Caption;
    uint16_t Base;
    std::array<double, 5> Defaults;
};
#define KORVEL_TIMES(frame) {frame ".X1Max", frame ".X1Min", frame ".X2Max", frame ".X2Min", frame ".DeltaT"}
constexpr std::array<std::string_view, 5> kTimeColumns = {"X1max", "X1Min", "X2Max", "X2Min", "Delta-T"};
constexpr TTimeConstants kTimeConstants[] = {
    {KORVEL_TIMES("TimeConstantsRL"), "Radiatoren stooklijn laag", 60, {0, -150, 180, -30, 15.0}},
    {KORVEL_TIMES("TimeConstantsRH"), "Radiatoren stooklijn hoog", 70, {0, -210, 255, -45, 20.0}},
    {KORVEL_TIMES("TimeConstantsFL"), "Vloerverwarming stooklijn laag", 80, {0, -90, 105, -15, 5.0}},
    {KORVEL_TIMES("TimeConstantsFH"), "Vloerverwarming stooklijn hoog", 90, {0, -120, 143, -23, 10.0}},
};
#undef KORVEL_TIMES

// Three rows of 17 cells in the order Down, Up, Same; cell NN under heading -0.5 + 0.1 x NN.
struct TCorrectionRow {
    std::array<std::string_view, 17> Controls;
    std::string_view Caption;
    uint16_t Base;
    std::array<double, 17> Defaults;
};
#define KORVEL_CELLS(p)                                                                                  \
    {p "00", p "01", p "02", p "03", p "04", p "05", p "06", p "07", p "08", p "09", p "10", p "11", p "12", \
     p "13", p "14", p "15", p "16"}
constexpr std::array<std::string_view, 17> kCorrectionColumns = {
    "-0.5", "-0.4", "-0.3", "-0.2", "-0.1", "0.0", "0.1", "0.2", "0.3",
    "0.4",  "0.5",  "0.6",  "0.7",  "0.8",  "0.9", "1.0", "1.1"};
constexpr TCorrectionRow kCorrectionRows[] = {
    {KORVEL_CELLS("onfTableDown"), "Ruimte koelt af", 102,
     {0, 10, 20, 20, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30}},
    {KORVEL_CELLS("onfTableUp"), "Ruimte warmt op", 136,
     {-30, -20, -20, -10, -10, 0, 10, 20, 20, 20, 20, 30, 30, 30, 30, 30, 30}},
    {KORVEL_CELLS("onfTableSame"), "Ruimte blijft gelijk", 170,
     {-20, -10, -10, 0, 0, 0, 10, 10, 20, 20, 30, 30, 30, 30, 30, 30, 30}},
};
#undef KORVEL_CELLS

constexpr std::string_view kCurveGroup = "Stook- en koellijnen";
constexpr std::string_view kWeatherGroup = "Weersafhankelijke regeling";

// The words that stand alone.
constexpr TNvmParameter kSingles[] = {
    {40, "onfPumpDelayCooling", "Pomp nalooptijd (s)", {}, "Koelen", E::Raw, R::Int16, K::SignedInteger, "iiiiii",
     0, 32767, true, 120, W::SettingsTab, false, false},
    {42, "onfPumpDelayHeating", "Pomp nalooptijd (s)", {}, "Verwarmen", E::Raw, R::Int16, K::SignedInteger, "iiiiii",
     0, 32767, true, 60, W::SettingsTab, false, false},
    {44, "onfRadiatorDrop", "Temperatuurval over de radiatoren ", {}, {}, E::Tenths, R::Int16, K::Real, "###.#",
     -20.0, 100.0, true, 10.0, W::SettingsTab, true, false},
    {46, "onfNightOff", "Temperatuur voor nachtstand", {}, "Verwarmen", E::Div256, R::Int16, K::Real, "###.#", -20.0,
     100.0, true, 19.0, W::SettingsTab, false, false},
    {48, "onfMaxF", "Maximale compressor frequentie 50..100%", {}, "Algemeen", E::Tenths, R::Int16, K::Real, "###.#",
     -20.0, 100.0, true, 100.0, W::SettingsTab, true, false},
    {50, "onfDegreesMinutes", "Graadminuten grens waarop ketel bij komt", {}, "Verwarmen", E::Raw, R::UInt16,
     K::SignedInteger, "iiiiii", 10, 120, true, 20, W::SettingsTab, false, false},
    {52, "onfDelayHibernation", "Slaapstand vertraging (s)", {}, "Algemeen", E::Raw, R::UInt16, K::UnsignedWord,
     "99999", 0, 65535, true, 36000, W::SettingsTab, false, false},
    {54, "onfPumpStartupTime", "Pomp voorlooptijd (s)", {}, "Algemeen", E::Raw, R::LowByte, K::UnsignedWord, "99999",
     0, 65535, true, 30, W::SettingsTab, false, false},
    {56, "onfPump2DelayCooling", "Externe pomp nalooptijd (s)", {}, "Koelen", E::Raw, R::Int16, K::SignedInteger,
     "iiiiii", 0, 32767, true, 120, W::SettingsTab, false, false},
    {58, "onfPump2DelayHeating", "Externe pomp nalooptijd (s)", {}, "Verwarmen", E::Raw, R::Int16, K::SignedInteger,
     "iiiiii", 0, 32767, true, 60, W::SettingsTab, false, false},
    {100, "onfDifferentialTimebase", "Tijdbasis voor kamer temperatuur (s)", {}, kWeatherGroup, E::Raw, R::UInt16,
     K::SignedInteger, "iiiiii", 30, 1800, true, 300, W::AdvancedSettings, false, false},
    {204, "onfCoolingOff", "Koelen uit bij  delta-T", {}, "Koelen", E::Tenths, R::Int16, K::RealSingle, "##.#", -2.0,
     0.0, true, -1.0, W::SettingsTab, false, false},
    {206, "onfCoolingOn", "Koelen aan bij delta-T", {}, "Koelen", E::Tenths, R::Int16, K::RealSingle, "##.#", 0.0, 6.0,
     true, 3.0, W::SettingsTab, false, false},
    {208, "onfLowerMinOutsideTempForToshiba", "Afschakel temperatuur buitenunit vanaf 4 ° verlagen met (°C)", {},
     "Algemeen", E::Tenths, R::Int16, K::Real, "###.#", 0.0, 20.0, true, 0.0, W::SettingsTab, false, false},
    {210, "onfLowerMaxOutsideTempForBoiler", "Inschakel temperatuur ketel vanaf 40 ° verlagen met (°C)", {},
     "Algemeen", E::Tenths, R::Int16, K::Real, "###.#", 0.0, 40.0, true, 0.0, W::SettingsTab, false, false},
    {212, "onfMinBoilerOnTime", "Minimum ketel aan tijd (s)", {}, {}, E::Raw, R::Int16, K::UnsignedWord, "99999", 0,
     65535, true, 20, W::AdvancedSettings, false, false},
    {214, "onfMinBoilerOffTime", "Minimum ketel uit tijd (s)", {}, {}, E::Raw, R::Int16, K::UnsignedWord, "99999", 0,
     65535, true, 20, W::AdvancedSettings, false, false},
    {216, "onfHeatPumpPowerUpTo", "Buitenunit optoeren tot (25 ... 43 °C)", {}, "Retourtemperatuur", E::Tenths,
     R::Int16, K::Real, "###.#", 25.0, 43.0, true, 43.0, W::SettingsTab, false, false},
    {218, "onfHeatPumpConstantTo", "Buitenunit gelijkhouden tot (25 ... 45 °C)", {}, "Retourtemperatuur", E::Tenths,
     R::Int16, K::Real, "###.#", 25.0, 45.0, true, 45.0, W::SettingsTab, false, false},
    {220, "onfHeatPumpPowerDownTo", "Buitenunit terugtoeren tot, en uit boven (25 ... 47 °C)", {},
     "Retourtemperatuur", E::Tenths, R::Int16, K::Real, "###.#", 25.0, 47.0, true, 47.0, W::SettingsTab, false,
     false},
    {222, "onfWCMaxRequested", "Inschakelen CV-ketel of SV bij watertemperatuur hoger dan", {}, kWeatherGroup,
     E::Tenths, R::Int16, K::Real, "###.#", 40.0, 60.0, true, 60.0, W::AdvancedSettings, false, false},
    {224, "rgTestmode", "Test standen", {}, {}, E::Raw, R::Int16, K::RadioGroup, {}, -1, 4, true, 0, W::SettingsTab,
     false, false},
    {226, "onfFixedTempTime", "Vaste regeltemperatuur bij aanzetten gedurende (s)", {}, {}, E::Raw, R::Int16,
     K::UnsignedWord, "99999", 0, 65535, false, kNoDefault, W::AdvancedSettings, false, false},
    {228, "onfFixedTempValue", "Vaste regeltemperatuur bij aanzetten (°C)", {}, {}, E::Tenths, R::Int16,
     K::RealSingle, "##.#", -kFloatMax, kFloatMax, false, kNoDefault, W::AdvancedSettings, false, false},
};

using TTable = std::array<TNvmParameter, NVM_PARAMETER_COUNT>;

constexpr TTable BuildTable() {
    TTable t{};
    auto put = [&t](const TNvmParameter& p) { t[p.Address / 2] = p; };
    for (const TCurve& c : kCurves)
        for (uint16_t i = 0; i < 4; ++i) {
            // The settings tab gives the low radiator curve a fixed outdoor range.
            const bool fixedX = c.Base == 0 && (i == 0 || i == 1);
            put({static_cast<uint16_t>(c.Base + 2 * i), c.Controls[i], c.Caption, kCurveColumns[i], kCurveGroup,
                 E::Tenths, R::Int16, K::Real, "###.#", -20.0, 100.0, true, c.Defaults[i], W::SettingsTab, false,
                 fixedX});
        }
    for (const TTimeConstants& f : kTimeConstants)
        for (uint16_t i = 0; i < 5; ++i) {
            const bool deltaT = i == 4;
            put({static_cast<uint16_t>(f.Base + 2 * i), f.Controls[i], f.Caption, kTimeColumns[i], kWeatherGroup,
                 deltaT ? E::Tenths : E::Raw, R::Int16, deltaT ? K::Real : K::SignedInteger,
                 deltaT ? "###.#" : "iiiiii", deltaT ? 0.0 : -32768.0, deltaT ? 100.0 : 32767.0, true,
                 f.Defaults[i], W::AdvancedSettings, false, false});
        }
    for (const TCorrectionRow& r : kCorrectionRows)
        for (uint16_t i = 0; i < 17; ++i)
            put({static_cast<uint16_t>(r.Base + 2 * i), r.Controls[i], r.Caption, kCorrectionColumns[i],
                 kWeatherGroup, E::Raw, R::Int16, K::SignedInteger, "iii", -32768, 32767, true, r.Defaults[i],
                 W::AdvancedSettings, false, false});
    for (const TNvmParameter& p : kSingles) put(p);
    return t;
}

constexpr TTable kTable = BuildTable();

constexpr bool Complete(const TTable& t) {
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i].Control.empty() || t[i].Address != 2 * i) return false;
    return true;
}
static_assert(Complete(kTable), "every even address 0..228 holds exactly one parameter");

constexpr std::string_view kTestModes[] = {
    "Normaal gebruik",
    "Pompen aan",
    "Toshiba en pompen aan",
    "Toshiba + ketel aan (setpoint 60) en pompen aan",
    "Korvel aan in koelmodus, pompen aan, zomer contact aan",
};

bool CaptionIsShared(const TNvmParameter& p) {
    return std::count_if(kTable.begin(), kTable.end(), [&p](const TNvmParameter& q) {
               return q.Column.empty() && q.Caption == p.Caption;
           }) > 1;
}

}  // namespace

std::span<const TNvmParameter> NvmParameters() { return kTable; }

const TNvmParameter* FindNvmParameter(std::string_view control) {
    for (const TNvmParameter& p : kTable)
        if (p.Control == control) return &p;
    return nullptr;
}

std::string NvmDisplayName(const TNvmParameter& p) {
    std::string name(p.Caption);
    // Captions keep their own spacing on screen; in a sentence a trailing blank only misleads.
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!p.Column.empty()) return name + ' ' + std::string(p.Column);
    if (CaptionIsShared(p)) return name + " (" + std::string(p.Group) + ')';
    return name;
}

std::span<const std::string_view> TestModeItems() { return kTestModes; }

uint16_t NvmWordAt(std::span<const uint8_t> image, uint16_t address) {
    return static_cast<uint16_t>(image[address] | (image[address + 1u] << 8));
}

double DecodeNvmWord(const TNvmParameter& p, uint16_t word) {
    double value = 0;
    switch (p.ReadAs) {
        case R::Int16: value = static_cast<int16_t>(word); break;
        case R::UInt16: value = word; break;
        case R::LowByte: value = word & 0xFF; break;
    }
    switch (p.Encoding) {
        case E::Raw: break;
        case E::Tenths: value /= 10.0; break;
        case E::Div256: value /= 256.0; break;
    }
    if (p.Kind == K::RadioGroup) value = std::clamp(value, p.Min, p.Max);
    return value;
}

std::optional<std::vector<double>> DecodeNvmReport(std::span<const uint8_t> block) {
    if (block.size() < NVM_REPORT_SIZE) return std::nullopt;
    const std::span<const uint8_t> image = block.subspan(1, NVM_REPORT_SIZE - 1);
    std::vector<double> values;
    values.reserve(kTable.size());
    for (const TNvmParameter& p : kTable) values.push_back(DecodeNvmWord(p, NvmWordAt(image, p.Address)));
    return values;
}

int64_t ScaleNvmValue(const TNvmParameter& p, double value) {
    if (!std::isfinite(value)) return 0;
    // Beyond what 64 bits hold only the low 16 bits would count anyway; keep the cast defined.
    static constexpr double kLimit = 9.2e18;
    auto toInt = [](double v) { return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit)); };
    switch (p.Encoding) {
        case E::Raw: return toInt(std::trunc(value));
        case E::Tenths:
            if (p.Kind == K::RealSingle) return toInt(std::round(value * 10.0));
            return toInt(std::trunc(value * 10.0));
        case E::Div256: return toInt(std::trunc(value * 256.0));
    }
    return 0;
}

std::array<uint8_t, 5> EncodeNvmWrite(int64_t address, int64_t value) {
    const uint16_t a = NvmWordOf(address);
    const uint16_t v = NvmWordOf(value);
    return {P2KSETNVM, static_cast<uint8_t>(a & 0xFF), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(v & 0xFF),
            static_cast<uint8_t>(v >> 8)};
}

std::vector<uint8_t> DefaultNvmImage() {
    std::vector<uint8_t> image(NVM_REPORT_SIZE - 1, 0);
    for (const TNvmParameter& p : kTable) {
        if (!p.HasDefault) continue;
        const uint16_t w = NvmWordOf(ScaleNvmValue(p, p.Default));
        image[p.Address] = static_cast<uint8_t>(w & 0xFF);
        image[p.Address + 1u] = static_cast<uint8_t>(w >> 8);
    }
    return image;
}

TNvmWords NvmWordsOf(std::span<const double> values) {
    if (values.size() != kTable.size())
        throw std::invalid_argument("settings: " + std::to_string(values.size()) + " values for " +
                                    std::to_string(kTable.size()) + " parameters");
    TNvmWords words{};
    for (size_t i = 0; i < kTable.size(); ++i) words[i] = NvmWordOf(ScaleNvmValue(kTable[i], values[i]));
    return words;
}

std::vector<double> NvmValuesOf(const TNvmWords& words) {
    std::vector<double> values;
    values.reserve(kTable.size());
    for (size_t i = 0; i < kTable.size(); ++i) values.push_back(DecodeNvmWord(kTable[i], words[i]));
    return values;
}

std::optional<TNvmWords> NvmWordsOfReport(std::span<const uint8_t> block) {
    if (block.size() < NVM_REPORT_SIZE) return std::nullopt;
    const auto image = block.subspan(1, NVM_REPORT_SIZE - 1);
    TNvmWords words{};
    for (size_t i = 0; i < kTable.size(); ++i) words[i] = NvmWordAt(image, kTable[i].Address);
    return words;
}

TNvmWords NvmDefaultWords(const TNvmWords& keep) {
    TNvmWords words = keep;
    for (size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].HasDefault) words[i] = NvmWordOf(ScaleNvmValue(kTable[i], kTable[i].Default));
    return words;
}

}  // namespace korvel
