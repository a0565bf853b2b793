#include "app/data_log.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace korvel {

namespace {

constexpr char kClosing[] = "Log wordt afgesloten.";

[[noreturn]] void ThrowFileError(const char* what, const std::string& path) {
    throw std::system_error(errno, std::generic_category(), std::string(what) + " log file \"" + path + "\"");
}

// Writes and flushes at once: a row in a buffer is a row lost when the program dies.
void WriteFlushed(std::FILE* f, const std::string& text, const std::string& path) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fflush(f) != 0) {
        if (errno == 0) errno = EIO;
        ThrowFileError("Cannot write to", path);
    }
}

}  // namespace

std::string TF(bool value) { return value ? "TRUE" : "FALSE"; }

TDataLog::TDataLog(UiHost& host) : host_(host) {}

TDataLog::~TDataLog() { file_.reset(); }

void TDataLog::Start(const std::string& path, TimePoint now) {
    LastTimeLogfileWasWritten = now - kRowInterval;
    const bool wasLogging = Logging();
    Close();
    path_ = path;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    errno = 0;
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "ab"));
    if (!f) {
        if (wasLogging) Changed();
        ThrowFileError("Cannot open", path);
    }
    if (!exists) {
        try {
            WriteFlushed(f.get(), std::string(LOGFILEHEADER) + "\r\n", path);
        } catch (...) {
            if (wasLogging) Changed();
            throw;
        }
    }
    file_ = std::move(f);
    Changed();
}

void TDataLog::Stop() {
    Close();
    Changed();
}

void TDataLog::Close() { file_.reset(); }

void TDataLog::Changed() {
    if (OnLoggingChange) OnLoggingChange();
}

void TDataLog::HandleLogfile(TimePoint arrival, const std::string& arrivalText, const ColumnBuilder& columns) {
    if (!Logging()) return;
    auto since = std::chrono::duration_cast<std::chrono::milliseconds>(arrival - LastTimeLogfileWasWritten);
    if (since.count() < 0) since = -since;
    if (since < kRowInterval) return;

    std::string error;
    try {
        const std::vector<std::string> values = columns ? columns() : std::vector<std::string>{};
        if (values.size() != kColumns - 1)
            throw std::length_error("Log row has " + std::to_string(values.size() + 1) + " columns instead of " +
                                    std::to_string(kColumns) + ".");
        std::string row = arrivalText + ";";
        for (const auto& v : values) row += v + ";";
        row += "\r\n";
        LastTimeLogfileWasWritten = arrival;
        WriteFlushed(file_.get(), row, path_);
        return;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error.";
    }
    // Closed before the box: while it is up, further blocks arrive and must not write or ask again.
    Close();
    Changed();
    host_.MessageBox(TMsgDlgType::mtError, error + "\n" + kClosing, TMsgDlgButtons::mbOK);
}

}  // namespace korvel
