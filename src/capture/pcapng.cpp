#include "capture/pcapng.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>

#include "capture/wire_splitter.h"

namespace korvel {

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterface = 1;
constexpr uint32_t kObsoletePacket = 2;
constexpr uint32_t kSimplePacket = 3;
constexpr uint32_t kEnhancedPacket = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint32_t kByteOrderSwapped = 0x4D3C2B1A;

constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptComment = 1;
constexpr uint16_t kShbUserAppl = 4;
constexpr uint16_t kIfName = 2;
constexpr uint16_t kIfDescription = 3;
constexpr uint16_t kIfTsResol = 9;
constexpr uint16_t kEpbFlags = 2;
constexpr uint32_t kFlagInbound = 1;
constexpr uint32_t kFlagOutbound = 2;

// ---- writing ----

void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Pad(std::string& out, size_t from) {
    while ((out.size() - from) % 4 != 0) out += '\0';
}
void PutOption(std::string& out, uint16_t code, std::string_view value) {
    Put16(out, code);
    Put16(out, static_cast<uint16_t>(value.size()));
    const size_t from = out.size();
    out.append(value);
    Pad(out, from);
}

// Writes the block's type and a length to be filled in, runs body, then both lengths.
template <class Body>
void PutBlock(std::string& out, uint32_t type, Body body) {
    const size_t start = out.size();
    Put32(out, type);
    Put32(out, 0);
    body();
    Put32(out, 0);
    const auto length = static_cast<uint32_t>(out.size() - start);
    for (int i = 0; i < 4; ++i) {
        out[start + 4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        out[out.size() - 4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
}

// ---- reading ----

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

std::string Hex32(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

struct TOption {
    uint16_t Code;
    std::span<const uint8_t> Value;
};

// The options of a block: false when one runs past the block's end.
bool ReadOptions(std::span<const uint8_t> area, std::vector<TOption>& options) {
    options.clear();
    size_t at = 0;
    while (at + 4 <= area.size()) {
        const uint16_t code = Get16(&area[at]);
        const uint16_t length = Get16(&area[at + 2]);
        at += 4;
        if (code == kOptEnd) return true;
        const size_t padded = (static_cast<size_t>(length) + 3) & ~size_t{3};
        if (padded > area.size() - at) return false;
        options.push_back({code, area.subspan(at, length)});
        at += padded;
    }
    return at == area.size();
}

std::string Text(std::span<const uint8_t> value) {
    std::string s(value.begin(), value.end());
    // A writer may count a terminating zero in the option's length.
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

// An interface's time stamps in microseconds: if_tsresol counts in 10^-n or 2^-n seconds.
std::optional<int64_t> Microseconds(uint64_t stamp, uint8_t tsresol) {
    constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    const int n = tsresol & 0x7F;
    if (tsresol & 0x80) {
        const double us = std::ldexp(static_cast<double>(stamp), -n) * 1e6;
        if (!(us < 9.2e18)) return std::nullopt;
        return static_cast<int64_t>(std::llround(us));
    }
    uint64_t scale = 1;
    for (int i = 0; i < (n < 6 ? 6 - n : n - 6); ++i) {
        if (scale > kMax / 10) return n > 6 ? std::optional<int64_t>(0) : std::nullopt;
        scale *= 10;
    }
    if (n >= 6) return static_cast<int64_t>(std::min(stamp / scale, kMax));
    if (stamp > kMax / scale) return std::nullopt;
    return static_cast<int64_t>(stamp * scale);
}

}  // namespace

void AppendSectionHeader(std::string& out, std::string_view application) {
    PutBlock(out, kSectionHeader, [&] {
        Put32(out, kByteOrderMagic);
        Put16(out, 1);
        Put16(out, 0);
        Put32(out, 0xFFFFFFFF);  // section length unknown: it grows while the line is recorded
        Put32(out, 0xFFFFFFFF);
        if (!application.empty()) PutOption(out, kShbUserAppl, application);
        Put32(out, 0);
    });
}

void AppendInterface(std::string& out, std::string_view name) {
    PutBlock(out, kInterface, [&] {
        Put16(out, LINKTYPE_KORVEL);
        Put16(out, 0);
        Put32(out, 0);  // no snap length: every packet whole
        PutOption(out, kIfName, name);
        PutOption(out, kIfDescription, CAPTURE_LINE_DESCRIPTION);
        PutOption(out, kIfTsResol, std::string_view("\x06", 1));  // microseconds
        Put32(out, 0);
    });
}

void AppendPacket(std::string& out, const TCapturePacket& packet) {
    PutBlock(out, kEnhancedPacket, [&] {
        const auto time = static_cast<uint64_t>(packet.TimeUs);
        const auto length = static_cast<uint32_t>(packet.Wire.size());
        Put32(out, packet.Interface);
        Put32(out, static_cast<uint32_t>(time >> 32));
        Put32(out, static_cast<uint32_t>(time & 0xFFFFFFFF));
        Put32(out, length);
        Put32(out, length);
        const size_t from = out.size();
        out.append(reinterpret_cast<const char*>(packet.Wire.data()), packet.Wire.size());
        Pad(out, from);
        if (const std::string_view comment = PacketComment(packet.Kind); !comment.empty())
            PutOption(out, kOptComment, comment);
        std::string flags;
        Put32(flags, packet.Direction == TLineDirection::Inbound ? kFlagInbound : kFlagOutbound);
        PutOption(out, kEpbFlags, flags);
        Put32(out, 0);
    });
}

TCaptureReadResult ReadCapture(std::span<const uint8_t> bytes) {
    TCaptureReadResult result;
    auto refuse = [&](std::string why) {
        result.Interfaces.clear();
        result.Packets.clear();
        result.Error = std::move(why);
        return result;
    };
    if (bytes.empty()) return refuse("het bestand is leeg");
    if (bytes.size() < 12 || Get32(bytes.data()) != kSectionHeader)
        return refuse("het is geen pcapng-opname (het begint niet met een section header block)");

    struct TSectionLine {
        uint32_t Global;  // index into result.Interfaces
        uint8_t TsResol;
    };
    std::vector<TSectionLine> lines;  // of the current section
    std::vector<TOption> options;
    size_t at = 0;
    size_t block = 0;
    while (at < bytes.size()) {
        ++block;
        // Said only when refusing: a long capture has a hundred thousand blocks.
        const auto Where = [&] { return "blok " + std::to_string(block) + " (bij byte " + std::to_string(at) + ")"; };
        if (bytes.size() - at < 12) return refuse("het bestand houdt op midden in " + Where() + ": de opname is afgebroken");
        const uint32_t type = Get32(&bytes[at]);
        if (type == kSectionHeader) {
            if (bytes.size() - at < 28) return refuse("het bestand houdt op midden in " + Where() + ": de opname is afgebroken");
            const uint32_t magic = Get32(&bytes[at + 8]);
            if (magic == kByteOrderSwapped)
                return refuse(Where() + " is in big-endian bytevolgorde geschreven; alleen little-endian opnames worden gelezen");
            if (magic != kByteOrderMagic) return refuse(Where() + " heeft geen geldige byte-order magic (" + Hex32(magic) + ")");
            const uint16_t major = Get16(&bytes[at + 12]);
            const uint16_t minor = Get16(&bytes[at + 14]);
            if (major != 1)
                return refuse(Where() + " heeft pcapng-versie " + std::to_string(major) + "." + std::to_string(minor) +
                              "; alleen versie 1 wordt gelezen");
            lines.clear();
        } else if (block == 1) {
            return refuse("het is geen pcapng-opname (het begint niet met een section header block)");
        }
        const uint32_t length = Get32(&bytes[at + 4]);
        if (length < 12 || length % 4 != 0)
            return refuse(Where() + " geeft een bloklengte van " + std::to_string(length) +
                          " bytes op; die moet een veelvoud van 4 zijn en minstens 12");
        if (length > bytes.size() - at)
            return refuse("het bestand houdt op midden in " + Where() + ": het blok is " + std::to_string(length) +
                          " bytes lang, er staan er nog " + std::to_string(bytes.size() - at) +
                          "; de opname is afgebroken");
        if (Get32(&bytes[at + length - 4]) != length)
            return refuse(Where() + " geeft aan zijn begin en eind verschillende lengtes op (" + std::to_string(length) +
                          " en " + std::to_string(Get32(&bytes[at + length - 4])) + " bytes)");
        const std::span<const uint8_t> body = bytes.subspan(at + 8, length - 12);

        switch (type) {
            case kSectionHeader:
                if (body.size() < 16) return refuse(Where() + " is te kort voor een section header block");
                break;
            case kInterface: {
                if (body.size() < 8) return refuse(Where() + " is te kort voor een interface description block");
                const uint16_t linkType = Get16(body.data());
                if (linkType != LINKTYPE_KORVEL)
                    return refuse(Where() + " beschrijft een verbinding met link-type " + std::to_string(linkType) +
                                  ", geen KORVEL-lijn (" + std::to_string(LINKTYPE_KORVEL) +
                                  "): dit is geen opname van deze tool");
                if (!ReadOptions(body.subspan(8), options)) return refuse(Where() + " heeft een beschadigde optie");
                std::string name;
                uint8_t tsresol = 6;
                for (const TOption& o : options) {
                    if (o.Code == kIfName) name = Text(o.Value);
                    if (o.Code == kIfTsResol && o.Value.size() == 1) tsresol = o.Value[0];
                }
                lines.push_back({static_cast<uint32_t>(result.Interfaces.size()), tsresol});
                result.Interfaces.push_back(std::move(name));
                break;
            }
            case kObsoletePacket:
            case kSimplePacket:
                return refuse(Where() + " is een pakketblok zonder tijd en richting; alleen enhanced packet blocks worden gelezen");
            case kEnhancedPacket: {
                if (body.size() < 20) return refuse(Where() + " is te kort voor een enhanced packet block");
                const uint32_t iface = Get32(body.data());
                if (iface >= lines.size())
                    return refuse(Where() + " hoort bij interface " + std::to_string(iface) + ", die het bestand niet beschrijft");
                const uint64_t stamp = (static_cast<uint64_t>(Get32(&body[4])) << 32) | Get32(&body[8]);
                const uint32_t captured = Get32(&body[12]);
                const size_t padded = (static_cast<size_t>(captured) + 3) & ~size_t{3};
                if (padded > body.size() - 20)
                    return refuse(Where() + " geeft een pakket van " + std::to_string(captured) +
                                  " bytes op, langer dan het blok zelf");
                if (!ReadOptions(body.subspan(20 + padded), options)) return refuse(Where() + " heeft een beschadigde optie");
                TCapturePacket p;
                const auto us = Microseconds(stamp, lines[iface].TsResol);
                if (!us) return refuse(Where() + " heeft een tijd buiten elk bereik");
                p.TimeUs = *us;
                p.Interface = lines[iface].Global;
                p.Wire.assign(body.begin() + 20, body.begin() + 20 + captured);
                bool loader = false;
                for (const TOption& o : options) {
                    if (o.Code == kEpbFlags && o.Value.size() == 4)
                        p.Direction = (Get32(o.Value.data()) & 3) == kFlagOutbound ? TLineDirection::Outbound
                                                                                  : TLineDirection::Inbound;
                    if (o.Code == kOptComment && KindOfComment(Text(o.Value)) == TPacketKind::Loader) loader = true;
                }
                // The bytes say what they are; only the loader's must be told.
                p.Kind = loader ? TPacketKind::Loader : ClassifyWire(p.Wire);
                result.Packets.push_back(std::move(p));
                break;
            }
            default:
                break;  // statistics, name resolution and the like: nothing of the line
        }
        at += length;
    }
    return result;
}

TCaptureReadResult ReadCaptureFile(const std::string& path, uint64_t maxBytes) {
    TCaptureReadResult result;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        result.Error = std::string("het kan niet geopend worden (") + std::strerror(errno) + ")";
        return result;
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        result.Error = "het kan niet gelezen worden";
        return result;
    }
    if (static_cast<uint64_t>(size) > maxBytes) {
        result.Error = "het is groter dan " + std::to_string(maxBytes >> 20) + " MB";
        return result;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        result.Error = "het kan niet gelezen worden";
        return result;
    }
    return ReadCapture(bytes);
}

}  // namespace korvel
