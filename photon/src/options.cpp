// ApInitialize: the command line, the usage text, and the connection to the display.
#include <SDL_ttf.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "program_file.h"
#include "runtime.h"

// The application defines its option string; a program without one gets the usual options.
extern "C" const char ApOptions[] __attribute__((weak));

namespace photon {
namespace {

constexpr const char* kDefaultOptions = "s:x:y:h:w:S:";

std::string commandName(const char* argv0) {
    const char* slash = argv0 ? std::strrchr(argv0, '/') : nullptr;
    return slash ? slash + 1 : (argv0 ? argv0 : "");
}

// Prints the usage text of the program file with "%C" replaced by the command name, and exits
// with status 2.
[[noreturn]] void usage(const std::string& command) {
    std::string text;
    if (auto section = readProgramSection("/proc/self/exe", "QNX_usage", false)) {
        text.assign(section.value().begin(), section.value().end());
    }
    if (text.empty()) {
        text = "%C: bad option\n";
    }
    for (std::size_t at = text.find("%C"); at != std::string::npos;
         at = text.find("%C", at + command.size())) {
        text.replace(at, 2, command);
    }
    std::fputs(text.c_str(), stderr);
    std::exit(2);
}

bool parseNumber(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && ptr != text;
}

// The X display for a server name: a node number ("4", or "//4/dev/photon") becomes display
// ":4"; any other name is taken as the display name itself (":1", "host:0").
std::string displayName(const std::string& server) {
    std::string node = server;
    if (node.rfind("//", 0) == 0) {
        node = node.substr(2, node.find('/', 2) - 2);
    }
    bool digits = !node.empty() && std::all_of(node.begin(), node.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    return digits ? ":" + node : server;
}

// Applies one option; false for a value it cannot take.
bool applyOption(char letter, const char* value, Placement& placement) {
    int number = 0;
    switch (letter) {
        case 's':
            setenv("DISPLAY", displayName(value).c_str(), 1);
            return true;
        case 'x':
            return parseNumber(value, number) && (placement.x = number, true);
        case 'y':
            return parseNumber(value, number) && (placement.y = number, true);
        case 'w':
            return parseNumber(value, number) && number > 0 && (placement.w = number, true);
        case 'h':
            return parseNumber(value, number) && number > 0 && (placement.h = number, true);
        case 'S':
            if (std::strlen(value) == 1 && std::strchr("imn", value[0])) {
                placement.state = value[0];
                return true;
            }
            return false;
        default:
            return true;  // a letter of the application's own options
    }
}

// Reads the options getopt-style: "-x10" or "-x 10"; "--" ends them. Anything else calls usage().
Placement readOptions(int argc, char* argv[], const char* options) {
    const std::string command = commandName(argc > 0 ? argv[0] : nullptr);
    Placement placement;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            if (i + 1 < argc) {
                usage(command);  // the program takes no other arguments
            }
            break;
        }
        if (arg[0] != '-' || arg[1] == '\0' || arg[1] == ':') {
            usage(command);
        }
        const char* letter = std::strchr(options, arg[1]);
        if (!letter) {
            usage(command);
        }
        const char* value = nullptr;
        if (letter[1] == ':') {
            value = arg[2] != '\0' ? arg + 2 : (i + 1 < argc ? argv[++i] : nullptr);
            if (!value || !applyOption(arg[1], value, placement)) {
                usage(command);
            }
        } else if (arg[2] != '\0') {
            usage(command);
        }
    }
    return placement;
}

}  // namespace
}  // namespace photon

int ApInitialize(int argc, char* argv[], ApContext_t* context) {
    photon::Runtime& rt = photon::runtime();
    const char* options = &ApOptions ? ApOptions : photon::kDefaultOptions;
    rt.placement = photon::readOptions(argc, argv, options);
    rt.context = context;
    const std::string command = photon::commandName(argc > 0 ? argv[0] : nullptr);
    // The software renderer starts in well under a millisecond, where an OpenGL context takes
    // hundreds on machines without a graphics processor, and draws this game's frames in about
    // one. The environment (SDL_RENDER_DRIVER, SDL_FRAMEBUFFER_ACCELERATION) still decides.
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    if (!rt.config.headless && SDL_Init(SDL_INIT_VIDEO) != 0) {
        const char* display = std::getenv("DISPLAY");
        bool named = display && *display;
        std::fprintf(stderr, "%s: cannot connect to the display%s%s: %s\n", command.c_str(),
                     named ? " " : "", named ? display : "", SDL_GetError());
        std::exit(1);
    }
    if (TTF_WasInit() == 0 && TTF_Init() != 0) {
        std::fprintf(stderr, "%s: cannot start the font renderer: %s\n", command.c_str(),
                     TTF_GetError());
        std::exit(1);
    }
    return 0;
}
