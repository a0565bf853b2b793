// Which installation something was made for: the name the engineer gave the visit, the port or
// address of the line, and the firmware version the board reported. Settings files, snapshots,
// pictures and the service report carry it, so a support desk can tell them apart.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

struct TVisitStamp {
    std::string Installation;  // as the engineer typed it; empty: not given
    std::string Port;          // "COM5", a device path, "rfc2217://host:7000"; empty: no line yet
    std::string Firmware;      // the real-time report's firmware version; empty: no report yet
};

// A typed name as it is kept: blanks around it and control characters (a line break would end a
// file's line) left out. Any other character stays.
std::string InstallationName(std::string_view typed);

// Whether something made for installation a may be used where b is set without asking: when
// either names none, or both name the same one (blanks around it and the case of the letters
// A to Z aside).
bool SameInstallation(std::string_view a, std::string_view b);

// The line a picture or a page carries to say what it was made for, "Installatie: Dorpsstraat 3 ·
// Poort: COM5 · Firmware: 132", leaving out what is not known; empty when nothing is.
std::string VisitTitle(const TVisitStamp& stamp);

// Asked before settings made for one installation go to another: empty when SameInstallation().
inline constexpr const char* MSG_OTHER_INSTALLATION =
    "Deze instellingen zijn gemaakt voor installatie \"%s\", niet voor \"%s\".";
std::string OtherInstallationText(const TVisitStamp& made, const TVisitStamp& now);
// Said, never asked: settings of another firmware version are the normal case after an update.
// Empty when either version is not known or both are the same.
inline constexpr const char* MSG_OTHER_FIRMWARE = "Ze komen van firmware versie %s; het bord heeft versie %s.";
std::string OtherFirmwareText(const TVisitStamp& made, const TVisitStamp& now);

// The name as part of a file name that Windows and Linux both take: characters they refuse and
// blanks become '_', at most 60 bytes (whole characters). Empty for a name with nothing left.
std::string FileNamePart(std::string_view name);

}  // namespace korvel
