// The line's record: the serial port's tap. Cuts what crosses the line, both ways, into packets
// (frames, and the bytes that form none) and hands each to the capture file, when one is being
// written, and to a sink (the window's traffic list). One per communications module; the stand-in
// keeps one for its own side.
//
// Threads: the port calls it from its receive thread and from whichever thread sends; everything
// here is under one lock, and the sink and the error handler run under it too, so they must only
// hand on what they get.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "capture/capture_packet.h"
#include "capture/wire_splitter.h"
#include "link/line_tap.h"

namespace korvel {

// Microseconds since 1970-01-01 UTC, the time of a capture's packets.
int64_t CaptureNowUs();

class TLineRecord final : public TLineTap {
public:
    // application: what the capture file names as its writer ("korvel-service 16.6.0.0").
    explicit TLineRecord(std::string application);
    ~TLineRecord() override;
    TLineRecord(const TLineRecord&) = delete;
    TLineRecord& operator=(const TLineRecord&) = delete;

    // The port's tap: stamped now.
    void LineBytes(TLineDirection direction, const uint8_t* data, size_t size) override;
    void Record(TLineDirection direction, std::span<const uint8_t> bytes, int64_t timeUs);

    // A line opened under this name (a port, a device path, a network address): the packets from
    // now on are its. Closing sends out what was kept, an open frame as incomplete.
    void LineOpened(const std::string& name);
    void LineClosed();
    // While on, bytes are the firmware loader's: no frames, a packet each time the other side
    // speaks. Switching sends out what was kept.
    void SetLoader(bool on);

    // Starts writing a capture file (replacing one being written); throws std::system_error naming
    // the file. Each packet is flushed as it is written.
    void StartFile(const std::string& path);
    void StopFile();
    bool Recording() const;
    std::string FilePath() const;

    // Every packet with the name of its line, and a file that failed (closed then, its packets up
    // to the last whole one kept), with the reason naming it.
    using TSink = std::function<void(const TCapturePacket& packet, const std::string& line)>;
    void SetSink(TSink sink);
    void SetFileErrorHandler(std::function<void(const std::string& error)> handler);

private:
    void Emit(TLineDirection direction, TPacketKind kind, std::span<const uint8_t> wire, int64_t timeUs);
    void FlushAll(int64_t timeUs);
    void FlushLoader(size_t side);
    void WriteToFile(TCapturePacket& packet);
    void CloseFile();

    const std::string application_;
    mutable std::mutex m_;
    std::string line_;
    std::array<TWireSplitter, 2> splitters_;  // by direction
    bool loader_ = false;
    std::array<std::vector<uint8_t>, 2> loaderBytes_;
    std::array<int64_t, 2> loaderTime_{};
    TSink sink_;
    std::function<void(const std::string&)> fileError_;

    std::FILE* file_ = nullptr;
    std::string path_;
    uint64_t fileBytes_ = 0;              // written whole: where a failed write is cut back to
    std::vector<std::string> fileLines_;  // the interfaces written, in order
    std::string block_;                   // the block being written, reused
};

}  // namespace korvel
