#include "pelm_fixture.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// The game's globals as they are when the program starts; one test binary plays many games.
void resetGameState() {
    score = scoreliv = level = velocit = ldf1 = 0;
    accums = accuma = accump = 0.0;
    vissec = endgame = paus = 0;
    start = stop = pstart = pstop = timespec{};
    pos = posover = posliv = posopt = posrec = PhPoint_t{};
    for (PhImage_t*& image : images) {
        image = nullptr;
    }
    database = nullptr;
    cur_image = 0;
    for (char* slot : {nome1, nome2, nome3, nome4}) {
        slot[0] = '\0';
    }
    vscore1 = vscore2 = vscore3 = vscore4 = 0;
    j = 0;
    fp = nullptr;
    ldfrec = 0;
}

}  // namespace

bool operator==(const PhPoint_t& a, const PhPoint_t& b) {
    return a.x == b.x && a.y == b.y;
}

void PelmGame::SetUp() {
    previousDirectory = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "pelm-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    workDirectory = pattern;
    std::filesystem::current_path(workDirectory);
    resetGameState();
    driver.emplace(PELM_DATABASE);
}

void PelmGame::TearDown() {
    driver.reset();
    resetGameState();
    std::filesystem::current_path(previousDirectory);
    std::filesystem::remove_all(workDirectory);
}

void PelmGame::writeScoreFile(const std::string& text) {
    std::ofstream(workDirectory / "score.pml", std::ios::binary) << text;
}

std::string PelmGame::readScoreFile() const {
    std::ifstream file(workDirectory / "score.pml", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void PelmGame::setSecondFraction(double fraction) {
    constexpr int64_t wholeSecond = 972591765LL * 1000000000LL;
    driver->clock().setRealtimeNs(wholeSecond + static_cast<int64_t>(std::llround(fraction * 1e9)));
}

void PelmGame::openWindow() {
    ASSERT_NE(driver->start(&AbContext, AbApplLinks), nullptr);
}

void PelmGame::enterName(const std::string& name) {
    ASSERT_TRUE(driver->click(AbWidgets[ABN_PtNome]));
    driver->type(name);
    ASSERT_TRUE(driver->click(AbWidgets[ABN_PtNo]));
}

void PelmGame::playLevel(int hits, int misses) {
    driver->advance(2000);
    for (; hits > 0 || misses > 0; nextTick()) {
        ASSERT_EQ(vissec, 1) << "the level ended before all clicks were made";
        if (hits > 0) {
            ASSERT_TRUE(hit());
            hits--;
        } else {
            miss();
            misses--;
        }
    }
    int playing = level;
    while (vissec == 1 && level == playing) {
        nextTick();
    }
}

std::string PelmGame::text(int abn) const {
    char* value = nullptr;
    PtGetResource(AbWidgets[abn], Pt_ARG_TEXT_STRING, &value, 0);
    return value != nullptr ? value : "";
}

PhPoint_t PelmGame::place(int abn) const {
    PhPoint_t* value = nullptr;
    PtGetResource(AbWidgets[abn], Pt_ARG_POS, &value, 0);
    return value != nullptr ? *value : PhPoint_t{};
}

bool PelmGame::selectable(int abn) const {
    long* flags = nullptr;
    PtGetResource(AbWidgets[abn], Pt_ARG_FLAGS, &flags, 0);
    return flags != nullptr && (*flags & Pt_SELECTABLE) != 0;
}

const PhImage_t* PelmGame::picture(int abn) const {
    PhImage_t* value = nullptr;
    PtGetResource(AbWidgets[abn], Pt_ARG_LABEL_IMAGE, &value, 0);
    return value;
}

const PhImage_t* PelmGame::gremlinPicture(const char* name) const {
    return database != nullptr ? ApGetImageRes(database, name) : nullptr;
}

void PrintTo(const PhPoint_t& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ")";
}
