#include "host/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace korvel {

namespace fs = std::filesystem;

namespace {

std::string SystemText(int code) {
    return code != 0 ? std::error_code(code, std::generic_category()).message() : "het schrijven is mislukt";
}

// Puts `aside` in place under `path`. Without replace the name is taken only if it is free, in
// one step, so two programs saving at the same moment never get the same name.
TWholeWrite Place(const fs::path& aside, const fs::path& path, bool replace, std::string& error) {
#ifdef _WIN32
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(aside.c_str(), path.c_str(), flags)) return TWholeWrite::Written;
    const DWORD code = GetLastError();
    if (!replace && (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)) return TWholeWrite::Exists;
    error = std::error_code(static_cast<int>(code), std::system_category()).message();
    return TWholeWrite::Failed;
#else
    if (replace) {
        if (::rename(aside.c_str(), path.c_str()) == 0) return TWholeWrite::Written;
        error = SystemText(errno);
        return TWholeWrite::Failed;
    }
    // A hard link is made only under a name that is free.
    if (::link(aside.c_str(), path.c_str()) == 0) {
        ::unlink(aside.c_str());
        return TWholeWrite::Written;
    }
    if (errno == EEXIST) return TWholeWrite::Exists;
    // A file system without hard links (a FAT stick): take the name first, then rename over it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return TWholeWrite::Exists;
        error = SystemText(errno);
        return TWholeWrite::Failed;
    }
    ::close(fd);
    if (::rename(aside.c_str(), path.c_str()) == 0) return TWholeWrite::Written;
    error = SystemText(errno);
    ::unlink(path.c_str());
    return TWholeWrite::Failed;
#endif
}

}  // namespace

TWholeWrite WriteWholeFile(const fs::path& path, std::string_view text, bool replace, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = "het is een map";
        return TWholeWrite::Failed;
    }
    // A name of its own beside the file: another program writing the same file has another.
    char tag[24];
    std::snprintf(tag, sizeof tag, ".%08x.part", static_cast<unsigned>(std::random_device{}()));
    fs::path aside = path;
    aside += tag;
    {
        errno = 0;
        std::ofstream out(aside, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            error = SystemText(errno);
            fs::remove(aside, ec);
            return TWholeWrite::Failed;
        }
    }
    const TWholeWrite placed = Place(aside, path, replace, error);
    if (placed != TWholeWrite::Written) fs::remove(aside, ec);
    return placed;
}

}  // namespace korvel
