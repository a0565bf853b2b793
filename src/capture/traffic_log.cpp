#include "capture/traffic_log.h"

#include <algorithm>

#include "capture/pcapng.h"

namespace korvel {

void TTrafficLog::Add(TCapturePacket packet, const std::string& line) {
    auto known = std::find(lines_.begin(), lines_.end(), line);
    if (known == lines_.end()) known = lines_.insert(lines_.end(), line);
    packet.Interface = static_cast<uint32_t>(known - lines_.begin());
    packets_.push_back(std::move(packet));
    if (packets_.size() > capacity_) {
        packets_.pop_front();
        ++first_;
    }
}

void TTrafficLog::Load(std::vector<std::string> lines, std::vector<TCapturePacket> packets) {
    Clear();
    lines_ = std::move(lines);
    packets_.assign(std::make_move_iterator(packets.begin()), std::make_move_iterator(packets.end()));
}

void TTrafficLog::Clear() {
    first_ += packets_.size();
    packets_.clear();
    lines_.clear();
}

std::string TTrafficLog::Encode(std::string_view application) const {
    std::string out;
    AppendSectionHeader(out, application);
    for (const std::string& line : lines_) AppendInterface(out, line);
    for (const TCapturePacket& p : packets_) AppendPacket(out, p);
    return out;
}

}  // namespace korvel
