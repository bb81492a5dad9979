#include "tcp_to_bus/command_line_number.h"

#include <gtest/gtest.h>

namespace qiro {
namespace {

struct NumberCase {
    const char* text;
    uint32_t value;
};

class CommandLineNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(CommandLineNumber, ReadsAsAtolThenUnsigned) {
    EXPECT_EQ(parseCommandLineNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineNumber,
    ::testing::Values(NumberCase{"100", 100}, NumberCase{"0", 0}, NumberCase{"-1", 4294967295u},
                      NumberCase{"12x", 12}, NumberCase{"x12", 0}, NumberCase{"", 0},
                      NumberCase{"  \t42", 42}, NumberCase{"+7", 7}, NumberCase{"- 5", 0},
                      NumberCase{"4294967295", 4294967295u}, NumberCase{"4294967296", 0},
                      NumberCase{"-1000", 4294966296u}));

}  // namespace
}  // namespace qiro
