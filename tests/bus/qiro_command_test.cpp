// The `qiro` command as a user meets it: its output, its exit statuses, its usage.
#include <signal.h>

#include <gtest/gtest.h>

#include "tests/bus/bus_test_support.h"
#include "tools/qiro/command_line.h"

namespace qiro {
namespace {

using testing::ChildProcess;
using testing::qiroPath;
using testing::startServe;

struct Output {
    std::vector<std::string> lines;
    int exitStatus;
};

// Runs `qiro` with `words` (through the shell when `shellInput` is given, which is then piped to
// its standard input) and collects its output.
Output runQiro(const std::vector<std::string>& words, const char* shellInput = nullptr) {
    std::vector<std::string> arguments{qiroPath()};
    arguments.insert(arguments.end(), words.begin(), words.end());
    if (shellInput != nullptr) {
        std::string command = std::string("printf '") + shellInput + "' | \"$0\"";
        for (size_t i = 1; i < arguments.size(); ++i) {
            command += " '" + arguments[i] + "'";
        }
        arguments = {"/bin/sh", "-c", command, qiroPath()};
    }
    ChildProcess child(arguments);
    Output output;
    for (std::string line = child.readLine(); !line.empty(); line = child.readLine()) {
        output.lines.push_back(line);
    }
    output.exitStatus = child.wait();
    return output;
}

using Lines = std::vector<std::string>;

TEST(QiroCommandTest, CallPrintsStatusTypeAndReply) {
    auto server = startServe({"600", "--type", "0x10", "--description", "the far end", "--echo"});

    Output ok = runQiro({"call", "600", "--type", "16", "hello"});
    EXPECT_EQ(ok.lines, (Lines{"status 0 (Ok)", "hello"}));
    EXPECT_EQ(ok.exitStatus, 0);

    Output described = runQiro({"call", "600", "--type", "16", "--code", "0"});
    EXPECT_EQ(described.lines, (Lines{"status 0 (Ok)", "the far end"}));

    Output binary = runQiro({"call", "600", "--type", "16", "-"}, "\\001\\002\\377");
    EXPECT_EQ(binary.lines, (Lines{"status 0 (Ok)", "01 02 ff"}));

    Output wrongType = runQiro({"call", "600", "x"});
    EXPECT_EQ(wrongType.lines, (Lines{"status 7 (WrongType)", "type 16"}));
    EXPECT_EQ(wrongType.exitStatus, 1);

    Output tooSmall = runQiro({"call", "600", "--type", "16", "--capacity", "2", "hello"});
    EXPECT_EQ(tooSmall.lines, (Lines{"status 4 (ReplyTooLong)"}));
    EXPECT_EQ(tooSmall.exitStatus, 1);

    Output nobody = runQiro({"call", "601", "x"});
    EXPECT_EQ(nobody.lines, (Lines{"status 1 (NoService)"}));
    EXPECT_EQ(nobody.exitStatus, 1);
}

TEST(QiroCommandTest, ServeWithoutEchoRefusesEveryCodeButZero) {
    auto server = startServe({"610"});
    Output refused = runQiro({"call", "610", "--code", "7", "x"});
    EXPECT_EQ(refused.lines, (Lines{"status 2 (UnknownCode)"}));
}

// A stopped `qiro serve` ends with status 0 and its name is gone from the bus.
TEST(QiroCommandTest, ListShowsAServiceWhileItRunsAndNotAfterItStops) {
    for (int stopSignal : {SIGTERM, SIGINT}) {
        auto server = startServe({"620"});
        Output listed = runQiro({"list"});
        EXPECT_EQ(listed.lines, (Lines{"620 pid " + std::to_string(server->pid)}));
        EXPECT_EQ(listed.exitStatus, 0);
        server->signal(stopSignal);
        EXPECT_EQ(server->wait(), 0);
        EXPECT_EQ(runQiro({"list"}).lines, Lines{});
        EXPECT_EQ(runQiro({"call", "620", "x"}).lines, (Lines{"status 1 (NoService)"}));
    }
}

class QiroUsageTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(QiroUsageTest, BadArgumentsGiveTheUsageAndExitStatus2) {
    Output output = runQiro(GetParam());
    EXPECT_EQ(output.exitStatus, 2);
    EXPECT_TRUE(output.lines.empty()) << "the usage goes to standard error";
}

INSTANTIATE_TEST_SUITE_P(
    Words, QiroUsageTest,
    ::testing::Values(Lines{}, Lines{"bogus"}, Lines{"call"}, Lines{"call", "x"},
                      Lines{"call", "1", "--code"}, Lines{"call", "1", "--code", "0x"},
                      Lines{"call", "4294967296"}, Lines{"call", "1", "a", "b"},
                      Lines{"call", "1", "--color", "red"}, Lines{"serve"},
                      Lines{"serve", "1", "--type", "-1"}, Lines{"bench", "1", "--threads", "0"},
                      Lines{"bench", "1", "--count", "0"}, Lines{"list", "extra"}));

struct NumberCase {
    const char* text;
    std::optional<uint32_t> value;
};

class NumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTest, DecimalOrHexWithin32Bits) {
    EXPECT_EQ(tool::parseNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberTest,
    ::testing::Values(NumberCase{"0", 0u}, NumberCase{"42", 42u}, NumberCase{"0x2A", 42u},
                      NumberCase{"0Xff", 255u}, NumberCase{"4294967295", 4294967295u},
                      NumberCase{"0xFFFFFFFF", 4294967295u}, NumberCase{"4294967296", {}},
                      NumberCase{"0x100000000", {}}, NumberCase{"", {}}, NumberCase{"0x", {}},
                      NumberCase{"-1", {}}, NumberCase{"+1", {}}, NumberCase{" 1", {}},
                      NumberCase{"12a", {}}, NumberCase{"0x0x1", {}},
                      NumberCase{"99999999999999999999999", {}}));

}  // namespace
}  // namespace qiro
