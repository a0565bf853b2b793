#include <charconv>
#include <cmath>

#include "cli/korvel_cli.h"
#include "link/net_address.h"
#include "visit/visit_stamp.h"

namespace korvel::cli {

namespace {

struct TCommandShape {
    std::string_view Name;
    bool Port;      // needs --port
    bool File;      // takes a FILE
    bool Json;      // takes --json
    bool Snapshot;  // changes the board, after a snapshot unless --no-snapshot
};

constexpr TCommandShape kCommands[] = {
    {"ports", false, false, true, false},   {"info", true, false, true, false},
    {"watch", true, false, true, false},    {"backup", true, true, false, false},
    {"compare", true, true, true, false},   {"restore", true, true, true, true},
    {"defaults", true, false, true, true},  {"flash", true, true, false, true},
};

const TCommandShape* Shape(std::string_view name) {
    for (const TCommandShape& c : kCommands)
        if (c.Name == name) return &c;
    return nullptr;
}

// Ten years: beyond that a number is a mistake, and 1e300 must not reach a clock.
constexpr double kMaxSeconds = 315360000;

}  // namespace

std::string CliUsage() {
    return "gebruik: korvel-cli ports    [--json]\n"
           "         korvel-cli info     --port P [--json]\n"
           "         korvel-cli watch    --port P [--seconds N] [--log FILE] [--json]\n"
           "         korvel-cli backup   --port P FILE [--installation NAME]\n"
           "         korvel-cli compare  --port P (FILE | --defaults) [--json]\n"
           "         korvel-cli restore  --port P FILE [--installation NAME [--force]] [--no-snapshot] [--json]\n"
           "         korvel-cli defaults --port P [--no-snapshot] [--json]\n"
           "         korvel-cli flash    --port P FILE.a43 [--no-snapshot]\n"
           "         korvel-cli --help | --version\n"
           "\n"
           "Service van het KORVEL bord vanuit een script. P is een poort zoals het venster die neemt:\n"
           "COM5, een apparaat zoals /dev/ttyUSB0, of een netwerkadres (rfc2217://HOST:PORT, tcp://HOST:PORT).\n"
           "\n"
           "  ports     elke seriële poort; de USB-adapter van het bord (0403:6001) met een *\n"
           "  info      bedrijfsstand, stand van de RUN/PROGRAM schakelaar, firmware en de hoofdwaarden\n"
           "  watch     elk rapport als een regel in het formaat van de logfile (of JSON), N seconden\n"
           "            lang (hoogstens 315360000) of tot Ctrl+C; --log FILE schrijft de logfile van het venster\n"
           "  backup    servicestand, ophalen, en het instellingenbestand dat het venster opslaat\n"
           "  compare   elke parameter die verschilt: adres, naam, bord, bestand\n"
           "  restore   een instellingenbestand woord voor woord wegschrijven, opslaan, en het antwoord\n"
           "            woord voor woord controleren\n"
           "  defaults  de standaardwaarden op dezelfde manier wegschrijven\n"
           "  flash     het firmwarebestand controleren en dan laden\n"
           "\n"
           "backup, compare, restore, defaults en flash hebben de RUN/PROGRAM schakelaar in de stand\n"
           "PROGRAM nodig. restore, defaults en flash bewaren eerst een momentopname van het bord in de map\n"
           "van het venster, tenzij --no-snapshot. --installation NAME (een adres of klantnummer) gaat mee\n"
           "in de backup en de momentopname; restore weigert dan een bestand van een andere installatie,\n"
           "tenzij --force. Elke opdracht behalve ports neemt ook --capture FILE: wat\n"
           "over de lijn gaat, beide kanten op, als pcapng-opname voor Wireshark (met korvel.lua) of\n"
           "korvel-board-sim --replay. Resultaten gaan naar stdout, fouten naar stderr als een regel,\n"
           "voortgang naar stderr op een terminal.\n"
           "\n"
           "Afsluitstatus:\n"
           "  0    klaar\n"
           "  1    verschillen gevonden (alleen compare)\n"
           "  2    verkeerd gebruik\n"
           "  3    een bestand geweigerd (genoemd, met de regel), of niet te lezen of te schrijven, of gemaakt\n"
           "       voor een andere installatie (restore zonder --force)\n"
           "  4    het bord antwoordde niet op tijd, of staat niet op PROGRAM waar de opdracht dat nodig heeft\n"
           "  5    de verbinding kon niet worden gemaakt of is verbroken\n"
           "  6    het antwoord op het opslaan verschilt van wat is weggeschreven\n"
           "  7    het laden van de firmware is afgebroken (Ctrl+C): laad het bord opnieuw voor het draait\n"
           "  130  onderbroken (Ctrl+C): er is daarna niets meer gestuurd; na de vraag om op te slaan\n"
           "       zegt de melding dat niet bekend is of het bord heeft opgeslagen\n";
}

std::optional<TCliOptions> ParseCliArgs(const std::vector<std::string>& args, std::string& error) {
    TCliOptions o;
    std::vector<std::string> positional;
    bool seconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = std::string("optie '") + option + "' heeft een waarde nodig";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.Command = "help";
            return o;
        }
        if (a == "--version") {
            o.Command = "version";
            return o;
        }
        if (a == "--json") {
            o.Json = true;
        } else if (a == "--defaults") {
            o.Defaults = true;
        } else if (a == "--no-snapshot") {
            o.NoSnapshot = true;
        } else if (a == "--force") {
            o.Force = true;
        } else if (a == "--installation") {
            const auto v = value("--installation");
            if (!v) return std::nullopt;
            o.Installation = InstallationName(*v);
        } else if (a == "--port") {
            const auto v = value("--port");
            if (!v) return std::nullopt;
            o.Port = *v;
        } else if (a == "--log") {
            const auto v = value("--log");
            if (!v) return std::nullopt;
            o.Log = *v;
        } else if (a == "--capture") {
            const auto v = value("--capture");
            if (!v) return std::nullopt;
            o.Capture = *v;
        } else if (a == "--seconds") {
            const auto v = value("--seconds");
            if (!v) return std::nullopt;
            double n = 0;
            const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
            if (ec != std::errc() || end != v->data() + v->size() || !std::isfinite(n) || n <= 0 || n > kMaxSeconds) {
                error = "optie '--seconds' heeft een positief aantal seconden nodig, hoogstens 315360000 (tien jaar), "
                        "niet '" + *v + "'";
                return std::nullopt;
            }
            o.Seconds = n;
            seconds = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            error = "onbekende optie '" + a + "'";
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        error = "geen opdracht gegeven";
        return std::nullopt;
    }
    o.Command = positional[0];
    const TCommandShape* shape = Shape(o.Command);
    if (shape == nullptr) {
        error = "onbekende opdracht '" + o.Command + "'";
        return std::nullopt;
    }
    const size_t files = positional.size() - 1;
    const bool fileWanted = shape->File && !(o.Command == "compare" && o.Defaults);
    if (files > (fileWanted ? 1u : 0u)) {
        error = "onverwacht argument '" + positional[fileWanted ? 2 : 1] + "'";
        return std::nullopt;
    }
    if (fileWanted && files == 0) {
        error = o.Command == "compare" ? "compare heeft een FILE of --defaults nodig" : o.Command + " heeft een FILE nodig";
        return std::nullopt;
    }
    if (fileWanted) o.File = positional[1];
    if (shape->Port && o.Port.empty()) {
        error = o.Command + " heeft --port P nodig";
        return std::nullopt;
    }
    std::string problem;
    if (IsNetAddress(o.Port) && !ParseNetAddress(o.Port, &problem)) {
        error = "'" + o.Port + "' is geen netwerkadres: " + problem;
        return std::nullopt;
    }
    if (!shape->Port && !o.Port.empty()) {
        error = "optie '--port' hoort niet bij " + o.Command;
        return std::nullopt;
    }
    if (!shape->Port && !o.Capture.empty()) {
        error = "optie '--capture' hoort niet bij " + o.Command;
        return std::nullopt;
    }
    if (o.Json && !shape->Json) {
        error = "optie '--json' hoort niet bij " + o.Command;
        return std::nullopt;
    }
    if (o.Defaults && o.Command != "compare") {
        error = "optie '--defaults' hoort alleen bij compare";
        return std::nullopt;
    }
    if (o.NoSnapshot && !shape->Snapshot) {
        error = "optie '--no-snapshot' hoort alleen bij restore, defaults en flash";
        return std::nullopt;
    }
    if (!o.Installation.empty() && o.Command != "backup" && !shape->Snapshot) {
        error = "optie '--installation' hoort alleen bij backup, restore, defaults en flash";
        return std::nullopt;
    }
    if (o.Force && o.Command != "restore") {
        error = "optie '--force' hoort alleen bij restore";
        return std::nullopt;
    }
    if ((seconds || !o.Log.empty()) && o.Command != "watch") {
        error = std::string("optie '") + (seconds ? "--seconds" : "--log") + "' hoort alleen bij watch";
        return std::nullopt;
    }
    return o;
}

}  // namespace korvel::cli
