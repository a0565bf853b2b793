#include "capture/wire_splitter.h"

namespace korvel {

TWireSplitter::TWireSplitter() {
    decoder_.OnBlock = [this] { event_ = TEvent::Block; };
    decoder_.OnCheckError = [this] { event_ = TEvent::BadCheck; };
    decoder_.OnDataError = [this] {
        event_ = decoder_.ProtocolState == PROT_OVERFLOW ? TEvent::Overflow : TEvent::FramingError;
    };
}

void TWireSplitter::Feed(std::span<const uint8_t> bytes, const TEmit& emit) {
    for (const uint8_t b : bytes) {
        const uint32_t before = decoder_.ProtocolState;
        pending_.push_back(b);
        event_ = TEvent::None;
        decoder_.HandleByte(b);
        if (event_ != TEvent::None) {
            static constexpr TPacketKind kKinds[] = {TPacketKind::Block, TPacketKind::Block, TPacketKind::BadCheck,
                                                     TPacketKind::FramingError, TPacketKind::Overflow};
            emit(kKinds[static_cast<size_t>(event_)], pending_);
            pending_.clear();
            inFrame_ = false;
            continue;
        }
        if (before == PROT_DLE && decoder_.ProtocolState == PROT_STX) {
            // The frame starts at the escape before this byte, with the preamble ahead of it.
            size_t start = pending_.size() - 2;
            if (start > 0 && pending_[start - 1] == PREAMBLE_CHAR) --start;
            if (start > 0) {
                emit(TPacketKind::Noise, std::span<const uint8_t>(pending_).first(start));
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
            }
            inFrame_ = true;
        }
    }
    if (inFrame_ || pending_.empty()) return;
    // Between frames: what cannot begin a frame goes out now, so noise is not held back; a tail
    // of escapes, or a preamble, may be the start of the next read's frame.
    size_t keep = 0;
    while (keep < pending_.size() && pending_[pending_.size() - 1 - keep] == DLE_CHAR) ++keep;
    if (keep < pending_.size() && pending_[pending_.size() - 1 - keep] == PREAMBLE_CHAR) ++keep;
    if (keep == pending_.size()) return;
    emit(TPacketKind::Noise, std::span<const uint8_t>(pending_).first(pending_.size() - keep));
    pending_.erase(pending_.begin(), pending_.end() - static_cast<std::ptrdiff_t>(keep));
}

void TWireSplitter::Flush(const TEmit& emit) {
    if (!pending_.empty()) emit(inFrame_ ? TPacketKind::Incomplete : TPacketKind::Noise, pending_);
    pending_.clear();
    inFrame_ = false;
    decoder_.Reset();
}

TPacketKind ClassifyWire(std::span<const uint8_t> wire) {
    TWireSplitter splitter;
    TPacketKind kind = TPacketKind::Noise;
    size_t packets = 0;
    const auto take = [&](TPacketKind k, std::span<const uint8_t>) {
        kind = k;
        ++packets;
    };
    splitter.Feed(wire, take);
    splitter.Flush(take);
    return packets == 1 ? kind : TPacketKind::Noise;
}

std::vector<uint8_t> UnframeWire(std::span<const uint8_t> wire, uint16_t* received, uint16_t* computed) {
    TFrameDecoder decoder;
    bool done = false;
    std::vector<uint8_t> block;
    const auto take = [&] {
        if (done) return;
        done = true;
        const uint32_t n = decoder.InputCount;
        block.assign(decoder.InputData.begin(), decoder.InputData.begin() + (n - 2));
        if (received != nullptr) *received = static_cast<uint16_t>(decoder.InputData[n - 2] | (decoder.InputData[n - 1] << 8));
        if (computed != nullptr) *computed = CalcCRC(decoder.InputData.data(), static_cast<uint16_t>(n - 2));
    };
    decoder.OnBlock = take;
    decoder.OnCheckError = [&] {
        if (decoder.InputCount >= 2) take();
    };
    for (const uint8_t b : wire) decoder.HandleByte(b);
    return block;
}

}  // namespace korvel
