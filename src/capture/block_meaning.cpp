#include "capture/block_meaning.h"

#include <cstdio>

#include "datalog/data_log.h"
#include "link/port_names.h"
#include "messages/message_catalogue.h"
#include "messages/realtime_report.h"
#include "settings/nvm_parameters.h"
#include "settings/settings_file.h"

namespace korvel {

namespace {

using K = TMeaningKind;

std::string_view LogHeaderOf(std::string_view target) {
    for (const TLogColumn& c : LogLayout())
        if (c.Field == target) return c.Header;
    return {};
}

TMeaningField ReportField(std::string_view target, TMeaningKind kind) {
    const std::string_view header = LogHeaderOf(target);
    const std::string label(header.empty() ? target : header);
    return {"rt." + MeaningKey(label), label, kind, target};
}

std::vector<TMeaningField> BuildReportFields() {
    std::vector<TMeaningField> fields;
    for (const TReportField& f : RealtimeReportFields()) {
        switch (f.Conversion) {
            case TReportConversion::Bits:
                for (const TReportBit& bit : RealtimeReportBits())
                    if (bit.Byte == f.Offset) fields.push_back(ReportField(bit.Target, K::Flag));
                break;
            case TReportConversion::ListIndex: fields.push_back(ReportField(f.Target, K::List)); break;
            case TReportConversion::NonZero: fields.push_back(ReportField(f.Target, K::Flag)); break;
            default: fields.push_back(ReportField(f.Target, K::Number)); break;
        }
    }
    return fields;
}

std::vector<TMeaningField> BuildNvmFields() {
    std::vector<TMeaningField> fields;
    for (const TNvmParameter& p : NvmParameters())
        fields.push_back({"nvm." + MeaningKey(p.Control), NvmDisplayName(p), K::Number, p.Control});
    return fields;
}

const std::vector<TMeaningField> kSetNvm = {
    {"set.address", "Adres", K::Integer, {}},
    {"set.parameter", "Parameter", K::Text, {}},
    {"set.word", "Woord", K::Integer, {}},
    {"set.value", "Waarde", K::Number, {}},
};
const std::vector<TMeaningField> kSerial = {
    {"sernum.serial", "Serienummer", K::Integer, {}},
    {"sernum.configuration", "Configuratie", K::Integer, {}},
};

std::string Trimmed(std::string text) { return TrimSpaces(text); }

std::string Hex(uint32_t v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, v);
    return text;
}

uint32_t Le(std::span<const uint8_t> b, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return v;
}

std::string Short(size_t got, size_t wanted) {
    return "onvolledig: " + std::to_string(got) + " van " + std::to_string(wanted) + " bytes";
}

void DescribeReport(std::span<const uint8_t> block, char sep, TBlockMeaning& m) {
    const auto values = DecodeRealtimeReport(block.data(), block.size());
    if (values.empty()) {
        m.Summary = "Meetgegevens " + Short(block.size(), REALTIME_REPORT_SIZE);
        return;
    }
    const auto fields = ReportMeaningFields();
    for (size_t i = 0; i < values.size() && i < fields.size(); ++i) {
        const TReportValue& v = values[i];
        TBlockValue out{&fields[i], 0, {}};
        switch (v.ValueKind) {
            case TReportValue::Kind::Number: out.Number = v.Number; break;
            case TReportValue::Kind::ListIndex: out.Number = v.Index; break;
            case TReportValue::Kind::Flag: out.Number = v.Checked ? 1 : 0; break;
        }
        out.Text = v.ValueKind == TReportValue::Kind::Flag ? (v.Checked ? "ja" : "nee") : Trimmed(ReportValueText(v, sep));
        if (v.Target == "ocbKorvelState")
            m.Summary = "Bedrijfsstand: " + (out.Text.empty() ? "onbekend (" + std::to_string(v.Index) + ")" : out.Text);
        m.Values.push_back(std::move(out));
    }
}

void DescribeNvm(std::span<const uint8_t> block, char sep, TBlockMeaning& m) {
    const auto values = DecodeNvmReport(block);
    if (!values) {
        m.Summary = "Parameters " + Short(block.size(), NVM_REPORT_SIZE);
        return;
    }
    const auto fields = NvmMeaningFields();
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i)
        m.Values.push_back({&fields[i], (*values)[i], Trimmed(SettingsValueText(table[i], (*values)[i], sep))});
    m.Summary = std::to_string(table.size()) + " parameters" + (m.Id == K2PRFLASHNVM ? ", zoals opgeslagen" : "");
}

void DescribeSetNvm(std::span<const uint8_t> block, char sep, TBlockMeaning& m) {
    if (block.size() < 5) {
        m.Summary = "Parameter schrijven, " + Short(block.size(), 5);
        return;
    }
    const uint32_t address = Le(block, 1, 2);
    const auto word = static_cast<uint16_t>(Le(block, 3, 2));
    const TNvmParameter* p = nullptr;
    for (const TNvmParameter& q : NvmParameters())
        if (q.Address == address) p = &q;
    m.Values.push_back({&kSetNvm[0], static_cast<double>(address), std::to_string(address)});
    m.Values.push_back({&kSetNvm[1], 0, p != nullptr ? NvmDisplayName(*p) : std::string()});
    m.Values.push_back({&kSetNvm[2], static_cast<double>(word), std::to_string(word)});
    const std::string where = " (adres " + std::to_string(address) + ", woord " + std::to_string(word) + ")";
    if (p == nullptr) {
        m.Summary = "Onbekend adres" + where;
        return;
    }
    const double value = DecodeNvmWord(*p, word);
    const std::string text = Trimmed(SettingsValueText(*p, value, sep));
    m.Values.push_back({&kSetNvm[3], value, text});
    m.Summary = NvmDisplayName(*p) + " = " + text + where;
}

std::string FixedSummary(uint8_t id) {
    switch (id) {
        case K2PRSETCOMMAND: return "Servicestand: het bord blijft in de servicestand";
        case K2PGETCOMMAND: return "Servicestand: het bord vraagt of er een PC is";
        case P2KSETCOMMAND: return "Servicestand: de PC vraagt het bord in de servicestand";
        case K2PRGETRT:
        case K2PRBLASTFW:
        case K2PRGETFLASH:
        case K2PRSETNVM: return "Beantwoord";
        case P2KGETSERNUM: return "Vraagt het serienummer";
        case P2KGETRT: return "Vraagt de meetgegevens";
        case P2KBLASTFW: return "Start de firmwarelader";
        case P2KGETFLASH: return "Vraagt het flashgeheugen";
        case P2KGETNVM: return "Vraagt de parameters";
        case P2KFLASHNVM: return "Parameters opslaan in flash";
        default: return {};
    }
}

}  // namespace

std::string MeaningKey(std::string_view text) {
    std::string key;
    for (const char c : text) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (alnum || (c >= 'A' && c <= 'Z'))
            key += alnum ? c : static_cast<char>(c - 'A' + 'a');
        else if (!key.empty() && key.back() != '_')
            key += '_';
    }
    while (!key.empty() && key.back() == '_') key.pop_back();
    return key;
}

std::span<const TMeaningField> ReportMeaningFields() {
    static const std::vector<TMeaningField> fields = BuildReportFields();
    return fields;
}

std::span<const TMeaningField> NvmMeaningFields() {
    static const std::vector<TMeaningField> fields = BuildNvmFields();
    return fields;
}

std::span<const TMeaningField> SetNvmMeaningFields() { return kSetNvm; }
std::span<const TMeaningField> SerialMeaningFields() { return kSerial; }

std::string BlockName(uint8_t id) {
    const auto m = FindMessage(id);
    if (!m) return std::string(MSG_ID_NOT_RECOGNISED);
    const std::string name = Trimmed(std::string(m->Name));
    return name.empty() ? std::string(m->Constant) : name;
}

TBlockMeaning DescribeBlock(std::span<const uint8_t> block, char decimalSeparator) {
    TBlockMeaning m;
    if (block.empty()) {
        m.Name = "Leeg blok";
        m.Summary = "Een frame zonder blok";
        return m;
    }
    m.Id = block[0];
    m.Name = BlockName(m.Id);
    switch (m.Id) {
        case K2MSENDMONDATA: DescribeReport(block, decimalSeparator, m); break;
        case K2PRGETNVM:
        case K2PRFLASHNVM: DescribeNvm(block, decimalSeparator, m); break;
        case P2KSETNVM: DescribeSetNvm(block, decimalSeparator, m); break;
        case K2PRGETSERNUM:
            if (block.size() < 13) {
                m.Summary = "Serienummer " + Short(block.size(), 13);
                break;
            }
            m.Values.push_back({&kSerial[0], static_cast<double>(Le(block, 5, 4)), Hex(Le(block, 5, 4), 8)});
            m.Values.push_back({&kSerial[1], static_cast<double>(Le(block, 9, 4)), Hex(Le(block, 9, 4), 8)});
            m.Summary = "Serienummer " + m.Values[0].Text + ", configuratie " + m.Values[1].Text;
            break;
        default:
            m.Summary = FindMessage(m.Id) ? FixedSummary(m.Id) : "Onbekend bericht";
            break;
    }
    return m;
}

}  // namespace korvel
