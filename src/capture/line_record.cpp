#include "capture/line_record.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "capture/pcapng.h"

namespace korvel {

namespace {

// The loader's chunks are 64 bytes; anything far beyond that is no dialogue of theirs.
constexpr size_t kLoaderPacketMax = 4096;

size_t Side(TLineDirection d) { return d == TLineDirection::Inbound ? 0 : 1; }
TLineDirection DirectionOf(size_t side) { return side == 0 ? TLineDirection::Inbound : TLineDirection::Outbound; }

}  // namespace

int64_t CaptureNowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

TLineRecord::TLineRecord(std::string application) : application_(std::move(application)) {}

TLineRecord::~TLineRecord() {
    std::lock_guard lock(m_);
    CloseFile();
}

void TLineRecord::LineBytes(TLineDirection direction, const uint8_t* data, size_t size) {
    Record(direction, std::span<const uint8_t>(data, size), CaptureNowUs());
}

void TLineRecord::Record(TLineDirection direction, std::span<const uint8_t> bytes, int64_t timeUs) {
    std::lock_guard lock(m_);
    const size_t side = Side(direction);
    if (!loader_) {
        splitters_[side].Feed(bytes, [&](TPacketKind kind, std::span<const uint8_t> wire) {
            Emit(direction, kind, wire, timeUs);
        });
        return;
    }
    // The loader's dialogue goes by turns: what one side said ends when the other speaks.
    FlushLoader(1 - side);
    loaderBytes_[side].insert(loaderBytes_[side].end(), bytes.begin(), bytes.end());
    loaderTime_[side] = timeUs;
    if (loaderBytes_[side].size() >= kLoaderPacketMax) FlushLoader(side);
}

void TLineRecord::FlushLoader(size_t side) {
    if (loaderBytes_[side].empty()) return;
    Emit(DirectionOf(side), TPacketKind::Loader, loaderBytes_[side], loaderTime_[side]);
    loaderBytes_[side].clear();
}

void TLineRecord::FlushAll(int64_t timeUs) {
    for (size_t side = 0; side < 2; ++side) {
        splitters_[side].Flush([&](TPacketKind kind, std::span<const uint8_t> wire) {
            Emit(DirectionOf(side), kind, wire, timeUs);
        });
        FlushLoader(side);
    }
}

void TLineRecord::LineOpened(const std::string& name) {
    std::lock_guard lock(m_);
    FlushAll(CaptureNowUs());
    line_ = name;
}

void TLineRecord::LineClosed() {
    std::lock_guard lock(m_);
    FlushAll(CaptureNowUs());
}

void TLineRecord::SetLoader(bool on) {
    std::lock_guard lock(m_);
    if (on == loader_) return;
    FlushAll(CaptureNowUs());
    loader_ = on;
}

void TLineRecord::Emit(TLineDirection direction, TPacketKind kind, std::span<const uint8_t> wire, int64_t timeUs) {
    if (!sink_ && file_ == nullptr) return;
    TCapturePacket packet;
    packet.TimeUs = timeUs;
    packet.Direction = direction;
    packet.Kind = kind;
    packet.Wire.assign(wire.begin(), wire.end());
    if (file_ != nullptr) WriteToFile(packet);
    if (sink_) sink_(packet, line_);
}

void TLineRecord::WriteToFile(TCapturePacket& packet) {
    const auto known = std::find(fileLines_.begin(), fileLines_.end(), line_);
    block_.clear();
    if (known == fileLines_.end()) AppendInterface(block_, line_);
    packet.Interface = static_cast<uint32_t>(known - fileLines_.begin());
    AppendPacket(block_, packet);
    errno = 0;
    if (std::fwrite(block_.data(), 1, block_.size(), file_) == block_.size() && std::fflush(file_) == 0) {
        if (known == fileLines_.end()) fileLines_.push_back(line_);
        fileBytes_ += block_.size();
        return;
    }
    const std::error_code error(errno != 0 ? errno : EIO, std::generic_category());
    const std::string path = path_;
    const uint64_t whole = fileBytes_;
    CloseFile();
    // A block written in part would make the whole file unreadable: it goes, the rest stays.
    std::error_code ignored;
    std::filesystem::resize_file(path, whole, ignored);
    if (fileError_)
        fileError_("De opname \"" + path + "\" kan niet verder geschreven worden (" + error.message() +
                   "); ze is gestopt en bevat alles tot dat moment.");
}

void TLineRecord::StartFile(const std::string& path) {
    std::lock_guard lock(m_);
    CloseFile();
    std::string header;
    AppendSectionHeader(header, application_);
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(header.data(), 1, header.size(), f) != header.size() || std::fflush(f) != 0) {
        const int e = errno != 0 ? errno : EIO;
        if (f != nullptr) std::fclose(f);
        throw std::system_error(e, std::generic_category(), "Kan de opname \"" + path + "\" niet schrijven");
    }
    file_ = f;
    path_ = path;
    fileBytes_ = header.size();
    fileLines_.clear();
}

void TLineRecord::StopFile() {
    std::lock_guard lock(m_);
    CloseFile();
}

void TLineRecord::CloseFile() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    path_.clear();
    fileLines_.clear();
}

bool TLineRecord::Recording() const {
    std::lock_guard lock(m_);
    return file_ != nullptr;
}

std::string TLineRecord::FilePath() const {
    std::lock_guard lock(m_);
    return path_;
}

void TLineRecord::SetSink(TSink sink) {
    std::lock_guard lock(m_);
    sink_ = std::move(sink);
}

void TLineRecord::SetFileErrorHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard lock(m_);
    fileError_ = std::move(handler);
}

}  // namespace korvel
