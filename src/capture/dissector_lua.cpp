#include "capture/dissector_lua.h"

#include <cstdio>
#include <string_view>

#include "capture/block_meaning.h"
#include "capture/capture_packet.h"
#include "comms/frame_codec.h"
#include "messages/message_catalogue.h"
#include "messages/realtime_report.h"
#include "settings/nvm_parameters.h"

namespace korvel {

namespace {

std::string Lua(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03u", u);
            out += escaped;
        } else {
            out += c;  // UTF-8 goes through as it is
        }
    }
    return out + '"';
}

std::string_view KindName(TMeaningKind k) {
    switch (k) {
        case TMeaningKind::Number: return "number";
        case TMeaningKind::List: return "list";
        case TMeaningKind::Flag: return "flag";
        case TMeaningKind::Integer: return "integer";
        case TMeaningKind::Text: return "text";
    }
    return "text";
}

std::string FieldHead(const TMeaningField& f) {
    return "key=" + Lua(f.Key) + ", label=" + Lua(f.Label) + ", kind=\"" + std::string(KindName(f.Kind)) + "\"";
}

std::string_view TypeName(TReportType t) {
    switch (t) {
        case TReportType::s16: return "s16";
        case TReportType::u16: return "u16";
        case TReportType::u8: return "u8";
    }
    return "u8";
}

std::string_view ConversionName(TReportConversion c) {
    switch (c) {
        case TReportConversion::Hundredths: return "hundredths";
        case TReportConversion::Tenths: return "tenths";
        case TReportConversion::Div256: return "div256";
        case TReportConversion::AsIs: return "asis";
        case TReportConversion::Firmware: return "firmware";
        case TReportConversion::ListIndex: return "asis";
        case TReportConversion::NonZero: return "nonzero";
        case TReportConversion::Bits: return "bit";
    }
    return "asis";
}

std::string ListItems(std::span<const std::string_view> items) {
    std::string out = "{";
    // Appended piece by piece: mingw's GCC 12 sees a false overlap in a chain of temporaries.
    for (size_t i = 0; i < items.size(); ++i) {
        out += '[';
        out += std::to_string(i);
        out += "]=";
        out += Lua(items[i]);
        out += ", ";
    }
    return out + "}";
}

// Where each of the report's fields sits and how it is converted, beside the name it goes by.
std::string ReportSpec() {
    std::string out = "local report = {\n";
    size_t state = 0;
    for (const TMeaningField& f : ReportMeaningFields()) {
        if (f.Source == "ocbKorvelState") state = static_cast<size_t>(&f - ReportMeaningFields().data()) + 1;
        out += "  {" + FieldHead(f);
        if (const TReportField* r = FindReportField(f.Source)) {
            out += ", off=" + std::to_string(r->Offset) + ", type=\"" + std::string(TypeName(r->Type)) +
                   "\", conv=\"" + std::string(ConversionName(r->Conversion)) + "\"";
            if (r->Conversion == TReportConversion::ListIndex) out += ", items=" + ListItems(ReportListItems(r->Target));
        } else {
            for (const TReportBit& b : RealtimeReportBits())
                if (b.Target == f.Source) {
                    out += ", off=" + std::to_string(b.Byte) + ", type=\"u8\", conv=\"bit\", bit=" + std::to_string(b.Bit);
                    break;
                }
        }
        out += "},\n";
    }
    return out + "}\nlocal report_state = report[" + std::to_string(state) + "]\n";
}

std::string NvmSpec() {
    std::string out = "local nvm = {\n";
    const auto fields = NvmMeaningFields();
    const auto table = NvmParameters();
    for (size_t i = 0; i < table.size(); ++i) {
        const TNvmParameter& p = table[i];
        const char* read = p.ReadAs == TNvmReadAs::Int16 ? "int16" : p.ReadAs == TNvmReadAs::UInt16 ? "uint16" : "lowbyte";
        const char* enc = p.Encoding == TNvmEncoding::Raw ? "raw" : p.Encoding == TNvmEncoding::Tenths ? "tenths" : "div256";
        out += "  {" + FieldHead(fields[i]) + ", addr=" + std::to_string(p.Address) + ", read=\"" + read +
               "\", enc=\"" + enc + "\"";
        // Only the test modes are held to their items' range, as the radio group holds them.
        if (p.Kind == TNvmFieldKind::RadioGroup)
            out += ", min=" + std::to_string(static_cast<int>(p.Min)) + ", max=" + std::to_string(static_cast<int>(p.Max));
        out += "},\n";
    }
    return out + "}\n";
}

std::string Fields(const char* name, std::span<const TMeaningField> fields) {
    std::string out = std::string("local ") + name + " = {\n";
    for (const TMeaningField& f : fields) out += "  {" + FieldHead(f) + "},\n";
    return out + "}\n";
}

std::string Catalogue() {
    std::string out = "local catalogue = {\n";
    for (const TMessageInfo& m : MessageCatalogue())
        out += "  [" + std::to_string(m.Id) + "] = {constant=" + Lua(m.Constant) + ", name=" + Lua(BlockName(m.Id)) + "},\n";
    out += "}\nlocal not_recognised = " + Lua(MSG_ID_NOT_RECOGNISED) + "\n";
    out += "local loader_comment = " + Lua(PacketComment(TPacketKind::Loader)) + "\n";
    return out;
}

std::string CrcTable() {
    std::string out = "local crc_table = {[0]=";
    for (size_t i = 0; i < 256; ++i) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X,", CRCTable[i]);
        out += hex;
        if (i % 16 == 15) out += "\n  ";
    }
    return out + "}\n";
}

constexpr std::string_view kBody = R"LUA(
local bit = bit32 or bit
local korvel = Proto("korvel", "KORVEL controller line")

local fields = {}
local function make(abbrev, label, kind, items)
  local pf
  if kind == "number" then pf = ProtoField.double(abbrev, label)
  elseif kind == "list" then pf = ProtoField.uint8(abbrev, label, base.DEC, items)
  elseif kind == "flag" then pf = ProtoField.bool(abbrev, label)
  elseif kind == "integer" then pf = ProtoField.uint32(abbrev, label, base.DEC)
  else pf = ProtoField.string(abbrev, label) end
  fields[#fields + 1] = pf
  return pf
end

local names = {}
for id, m in pairs(catalogue) do names[id] = m.name end
local F = {
  dir = make("korvel.dir", "Richting", "list", {[1] = "bord naar PC", [2] = "PC naar bord"}),
  id = make("korvel.id", "Identifier", "list", names),
  name = make("korvel.name", "Naam", "text"),
  constant = make("korvel.constant", "Constante", "text"),
  length = make("korvel.length", "Lengte van het blok", "integer"),
  crc_ok = make("korvel.crc.ok", "Controlewaarde klopt", "flag"),
}
F.crc = ProtoField.uint16("korvel.crc", "Controlewaarde", base.HEX)
F.crc_computed = ProtoField.uint16("korvel.crc.computed", "Berekende controlewaarde", base.HEX)
fields[#fields + 1] = F.crc
fields[#fields + 1] = F.crc_computed
F.block = ProtoField.bytes("korvel.block", "Blok")
F.raw = ProtoField.bytes("korvel.raw", "Bytes die geen blok vormen")
fields[#fields + 1] = F.block
fields[#fields + 1] = F.raw
for _, list in ipairs({report, nvm, set_nvm, serial}) do
  for _, s in ipairs(list) do s.pf = make("korvel." .. s.key, s.label, s.kind, s.items) end
end
korvel.fields = fields

local e_crc = ProtoExpert.new("korvel.crc.bad", "Controlewaarde klopt niet", expert.group.CHECKSUM, expert.severity.ERROR)
local e_frame = ProtoExpert.new("korvel.frame.bad", "Geen heel frame", expert.group.MALFORMED, expert.severity.WARN)
local e_short = ProtoExpert.new("korvel.short", "Blok korter dan zijn indeling", expert.group.MALFORMED, expert.severity.WARN)
korvel.experts = {e_crc, e_frame, e_short}

-- The loader's raw bytes are told by the packet's comment alone.
local f_comment = Field.new("frame.comment")

-- The frame's block and check bytes, unstuffed; nil when the bytes are not one whole frame.
local function unframe(bytes)
  local n = bytes:len()
  local i = 0
  if n > 0 and bytes:get_index(0) == 0xFF then i = 1 end
  if n - i < 2 or bytes:get_index(i) ~= 0x10 or bytes:get_index(i + 1) ~= 0x02 then return nil end
  i = i + 2
  local u = {}
  while i < n do
    local b = bytes:get_index(i)
    if b == 0x10 then
      if i + 1 >= n then return nil end
      local c = bytes:get_index(i + 1)
      if c == 0x10 then u[#u + 1] = 0x10; i = i + 2
      elseif c == 0x03 then
        if i + 2 == n then return u end
        return nil
      else return nil end
    else
      u[#u + 1] = b
      i = i + 1
    end
  end
  return nil
end

-- The board's check value: shifted left and indexed with the high byte over the reflected table.
local function calc_crc(u, count)
  local crc = 0
  for i = 1, count do
    local index = bit.band(bit.bxor(bit.rshift(crc, 8), u[i]), 0xFF)
    crc = bit.band(bit.bxor(bit.lshift(bit.band(crc, 0xFF), 8), crc_table[index]), 0xFFFF)
  end
  return crc
end

local function u16(b, off) return b[off + 1] + 256 * b[off + 2] end
local function s16(b, off)
  local v = u16(b, off)
  if v >= 32768 then v = v - 65536 end
  return v
end
local function le32(b, off) return u16(b, off) + 65536 * u16(b, off + 2) end

local function report_value(b, s)
  if s.conv == "bit" then return bit.band(bit.rshift(b[s.off + 1], s.bit), 1) == 1 end
  local raw
  if s.type == "s16" then raw = s16(b, s.off) elseif s.type == "u16" then raw = u16(b, s.off) else raw = b[s.off + 1] end
  if s.conv == "hundredths" then return raw * 0.01
  elseif s.conv == "tenths" then return raw * 0.1
  elseif s.conv == "div256" then return raw / 256.0
  elseif s.conv == "firmware" then
    if raw < 0x7800 then return 0 end
    return math.floor(raw / 256)
  elseif s.conv == "nonzero" then return raw ~= 0 end
  return raw
end

local function nvm_value(s, word)
  local v = word
  if s.read == "int16" then
    if v >= 32768 then v = v - 65536 end
  elseif s.read == "lowbyte" then v = bit.band(v, 0xFF) end
  if s.enc == "tenths" then v = v / 10.0 elseif s.enc == "div256" then v = v / 256.0 end
  if s.min then v = math.max(s.min, math.min(s.max, v)) end
  return v
end

local function size_of(s) if s.type == "u8" then return 1 end return 2 end

local function dissect_block(b, n, btvb, pinfo, t)
  local id = b[1]
  if id == 16 then
    if n < 112 then t:add_proto_expert_info(e_short, "Meetgegevens van " .. n .. " in plaats van 112 bytes"); return end
    for _, s in ipairs(report) do
      local item = t:add(s.pf, btvb(s.off, size_of(s)), report_value(b, s))
      if s.kind == "list" and s.items[report_value(b, s)] == nil then item:append_text(" (geen item)") end
    end
    local item = report_state.items[report_value(b, report_state)]
    if item then pinfo.cols.info:append(": " .. item) end
  elseif id == 38 or id == 39 then
    if n < 231 then t:add_proto_expert_info(e_short, "Parameters van " .. n .. " in plaats van 231 bytes"); return end
    for _, s in ipairs(nvm) do t:add(s.pf, btvb(s.addr + 1, 2), nvm_value(s, u16(b, s.addr + 1))) end
    pinfo.cols.info:append(": " .. #nvm .. " parameters")
  elseif id == 165 then
    if n < 5 then t:add_proto_expert_info(e_short, "Schrijfverzoek van " .. n .. " in plaats van 5 bytes"); return end
    local address, word = u16(b, 1), u16(b, 3)
    t:add(set_nvm[1].pf, btvb(1, 2), address)
    for _, s in ipairs(nvm) do
      if s.addr == address then
        t:add(set_nvm[2].pf, btvb(1, 2), s.label)
        t:add(set_nvm[3].pf, btvb(3, 2), word)
        t:add(set_nvm[4].pf, btvb(3, 2), nvm_value(s, word))
        pinfo.cols.info:append(": " .. s.label .. " = " .. nvm_value(s, word))
        return
      end
    end
    t:add(set_nvm[3].pf, btvb(3, 2), word)
  elseif id == 33 then
    if n < 13 then t:add_proto_expert_info(e_short, "Serienummer van " .. n .. " in plaats van 13 bytes"); return end
    t:add(serial[1].pf, btvb(5, 4), le32(b, 5))
    t:add(serial[2].pf, btvb(9, 4), le32(b, 9))
  end
end

function korvel.dissector(tvb, pinfo, tree)
  pinfo.cols.protocol = "KORVEL"
  -- pcapng's epb_flags: inbound comes from the board, outbound goes to it.
  local inbound = pinfo.p2p_dir == P2P_DIR_RECV
  pinfo.cols.src = inbound and "bord" or "PC"
  pinfo.cols.dst = inbound and "PC" or "bord"
  local t = tree:add(korvel, tvb())
  t:add(F.dir, inbound and 1 or 2):set_generated()
  local u = unframe(tvb:bytes())
  if u == nil or #u < 2 then
    t:add(F.raw, tvb())
    local count = tvb:len() == 1 and "1 byte" or (tvb:len() .. " bytes")
    local comment = f_comment()
    if comment and tostring(comment) == loader_comment then
      pinfo.cols.info = "Firmwarelader: " .. count
    else
      t:add_proto_expert_info(e_frame, "Deze bytes vormen geen heel frame")
      pinfo.cols.info = "Geen blok: " .. count
    end
    return tvb:len()
  end
  local n = #u - 2
  local received = u[n + 1] + 256 * u[n + 2]
  local computed = calc_crc(u, n)
  t:add(F.length, n):set_generated()
  if n == 0 then
    pinfo.cols.info = "Leeg blok"
  else
    local ba = ByteArray.new()
    ba:set_size(n)
    for i = 1, n do ba:set_index(i - 1, u[i]) end
    local btvb = ba:tvb("Blok")
    local id = u[1]
    local m = catalogue[id]
    t:add(F.id, btvb(0, 1))
    t:add(F.name, btvb(0, 1), m and m.name or not_recognised)
    if m then t:add(F.constant, btvb(0, 1), m.constant) end
    t:add(F.block, btvb())
    t:set_text("KORVEL " .. id .. " " .. (m and m.name or not_recognised))
    pinfo.cols.info = id .. " " .. (m and m.name or not_recognised)
    dissect_block(u, n, btvb, pinfo, t)
  end
  t:add(F.crc, received)
  t:add(F.crc_computed, computed):set_generated()
  t:add(F.crc_ok, received == computed):set_generated()
  if received ~= computed then
    t:add_proto_expert_info(e_crc, string.format("Controlewaarde 0x%04X ontvangen, 0x%04X berekend", received, computed))
    pinfo.cols.info:append(" [controlewaarde fout]")
  end
  return tvb:len()
end

DissectorTable.get("wtap_encap"):add(wtap_encaps.USER0, korvel)
)LUA";

}  // namespace

std::string DissectorLua() {
    std::string out =
        "-- Wireshark dissector for the KORVEL controller board's line: captures of korvel-service,\n"
        "-- korvel-cli --capture and korvel-board-sim --capture (pcapng, link type 147 = USER0).\n"
        "-- Generated by the build from the tool's own tables; rebuild instead of editing.\n"
        "-- Put it in Wireshark's personal plugins folder, or: tshark -X lua_script:korvel.lua -r FILE\n\n";
    out += Catalogue();
    out += CrcTable();
    out += ReportSpec();
    out += NvmSpec();
    out += Fields("set_nvm", SetNvmMeaningFields());
    out += Fields("serial", SerialMeaningFields());
    out += kBody;
    return out;
}

}  // namespace korvel
