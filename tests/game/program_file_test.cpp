// The program file gremgame: its sections, its usage text on a bad command line, and its one
// line when no display can be reached.
#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "photon/db/widget_db.h"

extern char** environ;

namespace {

const char kUsage[] =
    "gremgame - This is a QNX/Photon Application.\n"
    "gremgame [options]\n"
    "\n"
    "Options:\n"
    "  -s server   Server node or device name\n"
    "  -x x        Initial x position\n"
    "  -y y        Initial y position\n"
    "  -h h        Initial h dimension\n"
    "  -w w        Initial w dimension\n"
    "  -S i|m|n    Initial window state: i=iconified, m=maximized, n=normal\n"
    "\n"
    "Examples:\n"
    "gremgame -s4\n"
    "  Run using Photon server on node 4\n"
    "\n"
    "gremgame -s//4/dev/photon\n"
    "  Same as above\n"
    "\n"
    "gremgame -x10 -y10 -h200 -w300\n"
    "  Run at initial position 10,10 with initial \n"
    "  dimension of 200x300.\n";

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs gremgame with the arguments and the environment changes ("NAME=value" sets, "NAME"
// unsets), collecting its standard error.
Outcome runGame(const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        env.emplace_back(*e);
    }
    for (const std::string& change : environment) {
        std::string name = change.substr(0, change.find('='));
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
        if (change.find('=') != std::string::npos) {
            env.push_back(change);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args{"gremgame"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, GREMGAME, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    Outcome outcome;
    if (spawned != 0) {
        close(pipeEnds[0]);
        return outcome;
    }
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        outcome.errors.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

class BadCommandLineTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadCommandLineTest, PrintsTheUsageTextAndExitsWithStatusTwo) {
    // No display either: the command line is read before the display is needed.
    Outcome outcome = runGame(GetParam(), {"DISPLAY", "SDL_VIDEODRIVER=x11"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.errors, kUsage);
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadCommandLineTest,
    ::testing::Values(std::vector<std::string>{"-q"}, std::vector<std::string>{"-x"},
                      std::vector<std::string>{"-x", "ten"}, std::vector<std::string>{"-Sz"},
                      std::vector<std::string>{"-w0"}, std::vector<std::string>{"positional"},
                      std::vector<std::string>{"-"}));

TEST(ProgramFileTest, NoDisplayGivesOneLineAndAFailureStatus) {
    Outcome outcome = runGame({}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11"});
    EXPECT_NE(outcome.status, 0);
    EXPECT_NE(outcome.status, 2);
    ASSERT_FALSE(outcome.errors.empty());
    EXPECT_EQ(outcome.errors.find('\n'), outcome.errors.size() - 1) << outcome.errors;
    EXPECT_NE(outcome.errors.find("display"), std::string::npos) << outcome.errors;
}

TEST(ProgramFileTest, ServerOptionNamesTheDisplayToUse) {
    // Node 93 has no X server here: the message names the display the option chose.
    Outcome outcome = runGame({"-s//93/dev/photon"}, {"SDL_VIDEODRIVER=x11"});
    EXPECT_NE(outcome.status, 0);
    EXPECT_NE(outcome.errors.find(":93"), std::string::npos) << outcome.errors;
}

// The section header of that name in an ELF64 program file, or null.
const Elf64_Shdr* sectionHeader(const std::vector<uint8_t>& file, const char* name) {
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(file.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + header->e_shoff);
    const char* names =
        reinterpret_cast<const char*>(file.data() + sections[header->e_shstrndx].sh_offset);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (std::strcmp(names + sections[i].sh_name, name) == 0) {
            return &sections[i];
        }
    }
    return nullptr;
}

TEST(ProgramFileTest, CarriesTheDatabaseAndTheUsageTextAsUnloadedSections) {
    auto file = photon::db::readFileBytes(GREMGAME);
    ASSERT_TRUE(file.ok());
    ASSERT_EQ(file.value()[EI_CLASS], ELFCLASS64);
    for (const char* name : {"QNX_PhAB", "QNX_usage"}) {
        const Elf64_Shdr* section = sectionHeader(file.value(), name);
        ASSERT_NE(section, nullptr) << name;
        EXPECT_EQ(section->sh_type, static_cast<Elf64_Word>(SHT_PROGBITS)) << name;
        EXPECT_EQ(section->sh_flags, 0u) << name;
        EXPECT_EQ(section->sh_addr, 0u) << name;
    }
    auto database = photon::db::readElfSection(file.value(), "QNX_PhAB");
    auto packed = photon::db::readFileBytes(GAME_DATABASE);
    ASSERT_TRUE(database.ok());
    ASSERT_TRUE(packed.ok());
    EXPECT_TRUE(database.value() == packed.value());
    auto usage = photon::db::readElfSection(file.value(), "QNX_usage");
    ASSERT_TRUE(usage.ok());
    std::string expected(kUsage);
    for (std::size_t at; (at = expected.find("gremgame")) != std::string::npos;) {
        expected.replace(at, 8, "%C");
    }
    EXPECT_EQ(std::string(usage.value().begin(), usage.value().end()), expected);
}

}  // namespace
