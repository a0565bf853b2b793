#include "messages/realtime_report.h"

#include <iterator>

namespace korvel {

namespace {

using C = TReportConversion;
using T = TReportType;

// Offsets 7-8, 27-28, 31-36, 41-42, 45-46, 59-60 and 88 carry nothing the tool shows.
constexpr TReportField kFields[] = {
    {1, T::s16, C::Hundredths, "onfNTC1"},
    {3, T::s16, C::Hundredths, "onfNTC2"},
    {5, T::u16, C::Firmware, "onfFirmLo"},
    {9, T::s16, C::Tenths, "onfWaterOut"},
    {11, T::s16, C::Tenths, "onfOutsideAir"},
    {13, T::u16, C::AsIs, "onfDiagCodes1"},
    {15, T::s16, C::Tenths, "onfRefrigIn"},
    {17, T::s16, C::Tenths, "onfRefrigOut"},
    {19, T::s16, C::Tenths, "onfWaterIn"},
    {21, T::s16, C::AsIs, "onfCompCurrent"},
    {23, T::u16, C::AsIs, "onfDefrost"},
    {25, T::s16, C::AsIs, "onfSetpoint"},
    {29, T::s16, C::Div256, "onfWaterSetpoint"},
    {37, T::s16, C::Div256, "onfRoomSetpoint"},
    {39, T::s16, C::Div256, "onfTRoomTemperature"},
    {43, T::s16, C::Div256, "onfCVSetpoint"},
    {47, T::u8, C::Bits, {}},
    {48, T::u8, C::ListIndex, "ocbKorvelState"},
    {49, T::u8, C::Bits, {}},
    {50, T::u8, C::Bits, {}},
    {51, T::u8, C::Bits, {}},
    {52, T::u8, C::Bits, {}},
    {53, T::u8, C::Bits, {}},
    {54, T::s16, C::Tenths, "onfSMT"},
    {56, T::u8, C::Bits, {}},
    {57, T::u16, C::AsIs, "onfStateTimer"},
    {61, T::s16, C::AsIs, "onfDegMinsTimer"},
    {63, T::u16, C::AsIs, "onfHiberTimer"},
    {65, T::s16, C::Tenths, "onfDeltaTSysReq"},
    {67, T::s16, C::Tenths, "onfTMeanReq"},
    {69, T::s16, C::Tenths, "onfTaReq"},
    {71, T::s16, C::Tenths, "onfTrReq"},
    {73, T::s16, C::Tenths, "onfTPlexorReq"},
    {75, T::s16, C::Tenths, "onfTMean"},
    {77, T::s16, C::Tenths, "onf_ceonboff0"},
    {79, T::s16, C::Tenths, "onf_ceonboff1"},
    {81, T::s16, C::Tenths, "onf_ceonbon"},
    {83, T::s16, C::Tenths, "onf_beonbon"},
    {85, T::s16, C::Tenths, "onf_beoffbon"},
    {87, T::u8, C::Bits, {}},
    {89, T::u8, C::ListIndex, "ocbOpMode"},
    {90, T::u8, C::NonZero, "cbOnOff"},
    {91, T::s16, C::Tenths, "onfDeltaRoomTemperature"},
    {93, T::s16, C::Tenths, "onfOldRoomTemperature"},
    {95, T::u16, C::AsIs, "onfStickyDiagCodes1"},
    {97, T::u8, C::AsIs, "onfSmartGrid"},
    {98, T::s16, C::AsIs, "nfModBus4410"},
    {100, T::s16, C::AsIs, "nfModBus4411"},
    {102, T::s16, C::AsIs, "nfModBus4412"},
    {104, T::s16, C::AsIs, "nfModBus4413"},
    {106, T::s16, C::AsIs, "nfModBus4414"},
    {108, T::s16, C::AsIs, "nfModBus4415"},
    {110, T::s16, C::AsIs, "nfModBus4416"},
};

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
