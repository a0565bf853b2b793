#include "messages/realtime_report.h"

#include <iterator>

#include "widgets/picture_mask.h"

namespace korvel {

namespace {

using C = TReportConversion;
using T = TReportType;
using N = TNumericDataType;

// Offsets 7-8, 27-28, 31-36, 41-42, 45-46, 59-60 and 88 carry nothing the tool shows.
constexpr TReportField kFields[] = {
    {1, T::s16, C::Hundredths, "onfNTC1", N::ndtReal, "###.##", "°C"},
    {3, T::s16, C::Hundredths, "onfNTC2", N::ndtReal, "###.##", "°C"},
    {5, T::u16, C::Firmware, "onfFirmLo", N::ndtByte, "999", {}},
    {9, T::s16, C::Tenths, "onfWaterOut", N::ndtReal, "##.#", "°C"},
    {11, T::s16, C::Tenths, "onfOutsideAir", N::ndtReal, "##.#", "°C"},
    {13, T::u16, C::AsIs, "onfDiagCodes1", N::ndtWord, "99999", {}},
    {15, T::s16, C::Tenths, "onfRefrigIn", N::ndtReal, "##.#", "°C"},
    {17, T::s16, C::Tenths, "onfRefrigOut", N::ndtReal, "###.#", "°C"},
    {19, T::s16, C::Tenths, "onfWaterIn", N::ndtReal, "##.#", "°C"},
    {21, T::s16, C::AsIs, "onfCompCurrent", N::ndtReal, "##.#", "A"},
    {23, T::u16, C::AsIs, "onfDefrost", N::ndtWord, "99999", {}},
    {25, T::s16, C::AsIs, "onfSetpoint", N::ndtSmallInt, "iiiiii", "°C"},
    {29, T::s16, C::Div256, "onfWaterSetpoint", N::ndtReal, "###.#", "°C"},
    {37, T::s16, C::Div256, "onfRoomSetpoint", N::ndtSingle, "##.#", "°C"},
    {39, T::s16, C::Div256, "onfTRoomTemperature", N::ndtSingle, "###.#", "°C"},
    {43, T::s16, C::Div256, "onfCVSetpoint", N::ndtSingle, "###.#", "°C"},
    {47, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {48, T::u8, C::ListIndex, "ocbKorvelState", N::ndtReal, {}, {}},
    {49, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {50, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {51, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {52, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {53, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {54, T::s16, C::Tenths, "onfSMT", N::ndtReal, "###.##", "°C"},
    {56, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {57, T::u16, C::AsIs, "onfStateTimer", N::ndtInteger, "iiiiiiiiiii", {}},
    {61, T::s16, C::AsIs, "onfDegMinsTimer", N::ndtInteger, "iiiiiiiiiii", {}},
    {63, T::u16, C::AsIs, "onfHiberTimer", N::ndtInteger, "iiiiiiiiiii", {}},
    {65, T::s16, C::Tenths, "onfDeltaTSysReq", N::ndtReal, "###.#", "°C"},
    {67, T::s16, C::Tenths, "onfTMeanReq", N::ndtReal, "###.#", "°C"},
    {69, T::s16, C::Tenths, "onfTaReq", N::ndtReal, "###.#", "°C"},
    {71, T::s16, C::Tenths, "onfTrReq", N::ndtReal, "###.#", "°C"},
    {73, T::s16, C::Tenths, "onfTPlexorReq", N::ndtReal, "###.#", "°C"},
    {75, T::s16, C::Tenths, "onfTMean", N::ndtReal, "###.#", "°C"},
    {77, T::s16, C::Tenths, "onf_ceonboff0", N::ndtReal, "###.#", "°C"},
    {79, T::s16, C::Tenths, "onf_ceonboff1", N::ndtReal, "###.#", "°C"},
    {81, T::s16, C::Tenths, "onf_ceonbon", N::ndtReal, "###.#", "°C"},
    {83, T::s16, C::Tenths, "onf_beonbon", N::ndtReal, "###.#", "°C"},
    {85, T::s16, C::Tenths, "onf_beoffbon", N::ndtReal, "###.#", "°C"},
    {87, T::u8, C::Bits, {}, N::ndtReal, {}, {}},
    {89, T::u8, C::ListIndex, "ocbOpMode", N::ndtReal, {}, {}},
    {90, T::u8, C::NonZero, "cbOnOff", N::ndtReal, {}, {}},
    {91, T::s16, C::Tenths, "onfDeltaRoomTemperature", N::ndtSingle, "##.#", "°C"},
    {93, T::s16, C::Tenths, "onfOldRoomTemperature", N::ndtSingle, "##.#", "°C"},
    {95, T::u16, C::AsIs, "onfStickyDiagCodes1", N::ndtWord, "99999", {}},
    {97, T::u8, C::AsIs, "onfSmartGrid", N::ndtByte, "999", {}},
    {98, T::s16, C::AsIs, "nfModBus4410", N::ndtSmallInt, "iiiiii", "°C"},
    {100, T::s16, C::AsIs, "nfModBus4411", N::ndtSmallInt, "iiiiii", {}},
    {102, T::s16, C::AsIs, "nfModBus4412", N::ndtSmallInt, "iiiiii", "°C"},
    {104, T::s16, C::AsIs, "nfModBus4413", N::ndtSmallInt, "iiiiii", "°C"},
    {106, T::s16, C::AsIs, "nfModBus4414", N::ndtSmallInt, "iiiiii", {}},
    {108, T::s16, C::AsIs, "nfModBus4415", N::ndtSmallInt, "iiiiii", {}},
    {110, T::s16, C::AsIs, "nfModBus4416", N::ndtSmallInt, "iiiiii", "°C"},
};

constexpr std::string_view kKorvelStates[] = {
    "0 - Startup",
    "1 - Gereed (weersafhankelijk)",
    "2 - Gereed om te verwarmen of koelen",
    "3 - Alleen buitenunit",
    "4 - Buitenunit + ketel",
    "5 - Buitenunit  (weersafhankelijk)",
    "6 - Alleen de ketel",
    "7 - Slaapstand",
    "8 - Buitenunit aan om te koelen",
    "9 - Buitenunit uit tijdens koelen",
    "10 - Buitenunit + ketel (weersafhankelijk)",
    "11 - Alleen de ketel (weersafhankelijk)",
    "12 - UIT",
    "13 - TESTMODE 1",
    "14 - TESTMODE 2",
    "15 - TESTMODE 3",
    "16 - TESTMODE 4",
};
constexpr std::string_view kToshibaModes[] = {"0: Auto", "1: Heat", "2: Dry", "3: Fan", "4: Cool"};

constexpr TReportBit kBits[] = {
    {47, 2, "cbHeatProductionRequested"},
    {47, 3, "cbColdProductionRequested"},
    {47, 4, "cbHeatingAllowed"},
    {47, 5, "cbCoolingAllowed"},
    {47, 6, "cbCoolingSupported"},
    {47, 7, "cbLowTout"},
    {49, 0, "cbOTBoilerFault"},
    {49, 1, "cbOTBoilerNotFound"},
    // Sensor 2 before sensor 1: the board's order, not a slip.
    {49, 2, "cbNTC2Error"},
    {49, 3, "cbNTC1Error"},
    {49, 4, "cbSmartecError"},
    {49, 5, "cbPumpFlowError"},
    {49, 6, "cbToshibaCommsError"},
    {49, 7, "cbToshibaReportsError"},
    {50, 0, "cbOTThermostatNotFound"},
    {51, 0, "cbTapwaterDetectBoiler"},
    {52, 0, "cbDIP1"},
    {52, 1, "cbDIP2"},
    {52, 2, "cbDIP3"},
    {52, 3, "cbDIP4"},
    {52, 4, "cbDIP5"},
    {52, 5, "cbDIP6"},
    {52, 6, "cbDIP7"},
    {52, 7, "cbDIP8"},
    {53, 0, "cbDIP9"},
    {53, 1, "cbDIP10"},
    {53, 2, "cbDIP11"},
    {53, 3, "cbDIP12"},
    {53, 4, "cbDIP13"},
    {53, 5, "cbDIP14"},
    {53, 6, "cbDIP15"},
    {53, 7, "cbDIP16"},
    {56, 3, "cbCoolDisabled"},
    {56, 4, "cbKorvelDisabled"},
    {87, 0, "cbU1"},
    {87, 1, "cbU2"},
    {87, 2, "cbU3"},
    {87, 3, "cbU4"},
    {87, 4, "cbU5"},
    {87, 5, "cbU6"},
    {87, 6, "cbU7"},
    {87, 6, "cbU7copy"},
};

}  // namespace

std::span<const TReportField> RealtimeReportFields() { return kFields; }
std::span<const TReportBit> RealtimeReportBits() { return kBits; }

const TReportField* FindReportField(std::string_view target) {
    for (const TReportField& f : kFields)
        if (f.Target == target) return &f;
    return nullptr;
}

std::span<const std::string_view> ReportListItems(std::string_view target) {
    if (target == "ocbKorvelState") return kKorvelStates;
    if (target == "ocbOpMode") return kToshibaModes;
    return {};
}

std::string ReportValueText(const TReportValue& value, char decimalSeparator) {
    switch (value.ValueKind) {
        case TReportValue::Kind::Number: {
            const TReportField* f = FindReportField(value.Target);
            if (f == nullptr || f->Mask.empty()) return {};
            return FormatPicture(ToDataType(f->Shown, value.Number), f->Mask, decimalSeparator);
        }
        case TReportValue::Kind::ListIndex: {
            const auto items = ReportListItems(value.Target);
            return value.Index >= 0 && static_cast<size_t>(value.Index) < items.size()
                       ? std::string(items[static_cast<size_t>(value.Index)])
                       : std::string();
        }
        case TReportValue::Kind::Flag: break;
    }
    return {};
}

std::vector<TReportValue> DecodeRealtimeReport(const uint8_t* data, size_t size) {
    std::vector<TReportValue> values;
    if (data == nullptr || size < REALTIME_REPORT_SIZE) return values;
    values.reserve(std::size(kFields) + std::size(kBits));

    for (const TReportField& field : kFields) {
        const uint8_t lo = data[field.Offset];
        const unsigned u16 = lo | (field.Type == T::u8 ? 0u : unsigned(data[field.Offset + 1]) << 8);
        const int s16 = static_cast<int16_t>(static_cast<uint16_t>(u16));
        const int raw = field.Type == T::s16 ? s16 : static_cast<int>(u16);

        auto number = [&](double v) { values.push_back({field.Target, TReportValue::Kind::Number, v}); };
        switch (field.Conversion) {
            case C::Hundredths: number(raw * 0.01); break;
            case C::Tenths: number(raw * 0.1); break;
            case C::Div256: number(raw / 256.0); break;
            case C::AsIs: number(raw); break;
            case C::Firmware: number(u16 < 0x7800 ? 0 : u16 >> 8); break;
            case C::ListIndex:
                values.push_back({field.Target, TReportValue::Kind::ListIndex, 0, raw});
                break;
            case C::NonZero:
                values.push_back({field.Target, TReportValue::Kind::Flag, 0, 0, raw != 0});
                break;
            case C::Bits:
                for (const TReportBit& bit : kBits) {
                    if (bit.Byte != field.Offset) continue;
                    const bool set = (lo >> bit.Bit) & 1u;
                    values.push_back({bit.Target, TReportValue::Kind::Flag, 0, 0, set});
                }
                break;
        }
    }
    return values;
}

}  // namespace korvel
