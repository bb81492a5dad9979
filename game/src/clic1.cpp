// The callbacks of the game "Pelm". A gremlin jumps to a random place of the table at every
// tick; a click on it scores 10 points and freezes it for a moment, a click beside it costs 5. A
// level lasts 20 seconds and needs 100 points; the next one ticks 5 ms faster, a poorer one ends
// the game, and the best score of each difficulty is kept with its holder's name in score.pml.
//
// Widgets are shown and hidden only by moving them in and out of the window and by raising or
// lowering them among their siblings.
#include "clic1.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "photon/qnx.h"
#include "score_file.h"

int score = 0;
int scoreliv = 0;
int level = 0;
int velocit = 0;
int ldf1 = 0;
double accums = 0.0;
double accuma = 0.0;
double accump = 0.0;
int vissec = 0;
int endgame = 0;
int paus = 0;
timespec start = {};
timespec stop = {};
timespec pstart = {};
timespec pstop = {};
PhPoint_t pos = {};
PhPoint_t posover = {};
PhPoint_t posliv = {};
PhPoint_t posopt = {};
PhImage_t* images[4] = {};
ApDBase_t* database = nullptr;
char buffer[20] = {};
char livello[20] = {};

char nome1[NameSlotSize] = {};
char nome2[NameSlotSize] = {};
char nome3[NameSlotSize] = {};
char nome4[NameSlotSize] = {};
int vscore1 = 0;
int vscore2 = 0;
int vscore3 = 0;
int vscore4 = 0;
char buffer2[80] = {};
FILE* fp = nullptr;
int j = 0;
char vscore[20] = {};
char* vscor = nullptr;
char* nom = nullptr;
PhPoint_t posrec = {};
int ldfrec = 0;

namespace {

constexpr double LevelSeconds = 20.0;
constexpr double IdleLevelSeconds = 10000.0;
constexpr int PointsToPass = 100;
constexpr int HitPoints = 10;
constexpr int MissPoints = 5;
constexpr int SpeedUpPerLevel = 5;
// Ticks come at least this many milliseconds apart, however many levels have been passed.
constexpr int ShortestInterval = 5;
constexpr long FirstTickDelay = 2000;
constexpr long NoTicks = 2130000000;
constexpr unsigned int BannerMilliseconds = 1000;
constexpr int HitFrames = 29;

constexpr long ActiveFlags = 0x2080080;
constexpr long InertFlags = 0x2000000;
constexpr long ButtonFlagMask = 0x2080080;
constexpr long NameFieldFlags = 0x2000502;

constexpr PhPoint_t CoverShown = {-2, -2};
constexpr PhPoint_t CoverHidden = {-2, 480};
constexpr PhPoint_t GremlinHidden = {10, 500};
constexpr PhPoint_t BannerShown = {218, 12};
constexpr PhPoint_t BannerHidden = {218, 500};
constexpr PhPoint_t OptionsShown = {20, 20};
constexpr PhPoint_t OptionsHidden = {20, 480};
constexpr PhPoint_t RecordShown = {170, 290};
constexpr PhPoint_t RecordHidden = {170, 590};

constexpr const char ScoreFile[] = "score.pml";
constexpr int TableLines = 8;

// The four slots of the high-score table, by difficulty 1 to 4.
char* const nameSlots[] = {nome1, nome2, nome3, nome4};
int* const scoreSlots[] = {&vscore1, &vscore2, &vscore3, &vscore4};
constexpr int nameLabels[] = {ABN_PtNome1, ABN_PtNome2, ABN_PtNome3, ABN_PtNome4};
constexpr int scoreLabels[] = {ABN_PtPunti1, ABN_PtPunti2, ABN_PtPunti3, ABN_PtPunti4};

PtWidget_t* widget(int index) {
    return AbWidgets[index];
}

void moveTo(int index, PhPoint_t* place) {
    PtSetResource(widget(index), Pt_ARG_POS, place, 0);
}

void showText(int index, const char* text) {
    PtSetResource(widget(index), Pt_ARG_TEXT_STRING, text, 0);
}

const char* textOf(int index) {
    char* text = nullptr;
    PtGetResource(widget(index), Pt_ARG_TEXT_STRING, &text, 0);
    return text != nullptr ? text : "";
}

void showNumber(int index, int value) {
    itoa(value, buffer, 10);
    showText(index, buffer);
}

void showPicture(int index, PhImage_t* picture) {
    // A picture missing from the picture module leaves the label's own picture in place.
    if (picture != nullptr) {
        PtSetResource(widget(index), Pt_ARG_LABEL_IMAGE, picture, 0);
    }
}

void setButtonActive(int index, bool active) {
    PtSetResource(widget(index), Pt_ARG_FLAGS, active ? ActiveFlags : InertFlags, ButtonFlagMask);
}

void armTimer(long initial, long repeat) {
    PtSetResource(widget(ABN_PtTimer1), Pt_ARG_TIMER_INITIAL, initial, 0);
    PtSetResource(widget(ABN_PtTimer1), Pt_ARG_TIMER_REPEAT, repeat, 0);
}

void setTimerRepeat(long repeat) {
    PtSetResource(widget(ABN_PtTimer1), Pt_ARG_TIMER_REPEAT, repeat, 0);
}

// Reads the real-time clock into `reading`; a failure is reported as the callbacks report it.
bool readClock(timespec& reading) {
    if (clock_gettime(CLOCK_REALTIME, &reading) == -1) {
        perror("clock gettime");
        return false;
    }
    return true;
}

// The pictures of the gremlin come from the picture module, which stays open from the first
// Start on; a Start after a failed opening tries again.
void openPictures() {
    if (database != nullptr) {
        return;
    }
    database = ApOpenDBase(&AbInternalLinks[ABI_Veredodi]);
    if (database == nullptr) {
        return;
    }
    char name[16];
    for (int i = 1; i <= num_images - 1; i++) {
        std::snprintf(name, sizeof name, "PtGrem%d", i);
        images[i - 1] = ApGetImageRes(database, name);
    }
}

// --- The high-score table ------------------------------------------------------------------

// Every slot starts as its labels show it, so that the table a player sees is the table that
// Quit writes, even when score.pml is missing or shorter than eight lines.
void takeTableFromLabels() {
    for (int k = 0; k < 4; k++) {
        fitName(nameSlots[k], NameSlotSize, textOf(nameLabels[k]));
        *scoreSlots[k] = std::atoi(textOf(scoreLabels[k]));
    }
}

// Line `j` of score.pml, just read into buffer2, goes to its slot and its label.
void storeLine() {
    if (j > TableLines) {
        return;
    }
    int k = (j - 1) / 2;
    if (j % 2 == 1) {
        fitName(nameSlots[k], NameSlotSize, buffer2);
        showText(nameLabels[k], nameSlots[k]);
    } else {
        // The label shows the number as Quit will write it, whatever else the line held.
        *scoreSlots[k] = std::atoi(buffer2);
        std::snprintf(vscore, sizeof vscore, "%d\n", *scoreSlots[k]);
        showText(scoreLabels[k], vscore);
    }
}

// Loads score.pml, echoing each line on standard output followed by an empty line.
void loadScores() {
    takeTableFromLabels();
    fp = std::fopen(ScoreFile, "r");
    if (fp == nullptr) {
        return;
    }
    j = 0;
    while (readScoreLine(fp, buffer2, sizeof buffer2)) {
        j = j + 1;
        std::printf("%s\n", buffer2);
        storeLine();
    }
    std::fclose(fp);
    fp = nullptr;
    std::fflush(stdout);
}

// At game over: a score above the best of difficulty `n` opens the new-record pane.
void checkRecord(int n) {
    int k = n - 1;
    vscor = nullptr;
    PtGetResource(widget(scoreLabels[k]), Pt_ARG_TEXT_STRING, &vscor, 0);
    *scoreSlots[k] = std::atoi(vscor != nullptr ? vscor : "");
    if (score <= *scoreSlots[k]) {
        return;
    }
    showNumber(ABN_PtScorec, score);
    posrec = RecordShown;
    PtWidgetToFront(widget(ABN_PtRecord1));
    PtSetResource(widget(ABN_PtNome), Pt_ARG_FLAGS, NameFieldFlags, NameFieldFlags);
    moveTo(ABN_PtRecord1, &posrec);
    showNumber(scoreLabels[k], score);
    *scoreSlots[k] = score;
    ldfrec = n;
}

// Writes the eight lines of the table to score.pml. Returns false, with a message on standard
// error, when the file cannot be written; the old file then stays as it was.
bool saveScores() {
    ReplacementFile file;
    if (!beginReplacement(ScoreFile, file)) {
        std::fprintf(stderr, "cannot write %s: %s\n", ScoreFile, std::strerror(errno));
        return false;
    }
    fp = file.stream;
    for (j = 1; j <= TableLines; j++) {
        int k = (j - 1) / 2;
        if (j % 2 == 1) {
            // A slot always ends in its newline, and an empty one becomes an empty line.
            fitName(buffer2, NameSlotSize, nameSlots[k]);
        } else {
            std::snprintf(vscore, sizeof vscore, "%d\n", *scoreSlots[k]);
            std::strcpy(buffer2, vscore);
        }
        std::fputs(buffer2, fp);
    }
    fp = nullptr;
    if (!finishReplacement(file)) {
        std::fprintf(stderr, "cannot write %s: %s\n", ScoreFile, std::strerror(errno));
        return false;
    }
    return true;
}

// --- Parts of the tick ---------------------------------------------------------------------

// The level was passed: the banner shows the next level for one second, then its ticks start.
int nextLevel() {
    velocit = velocit - SpeedUpPerLevel;
    if (velocit < ShortestInterval) {
        velocit = ShortestInterval;
    }
    level = level + 1;
    posliv = BannerShown;
    moveTo(ABN_PtLevel, &posliv);
    std::snprintf(livello, sizeof livello, "Level %d", level);
    PtWidgetToFront(widget(ABN_PtLevel));
    showText(ABN_PtLevel, livello);
    PtWidgetToBack(widget(ABN_PtG1));
    PtFlush();
    delay(BannerMilliseconds);
    posliv = BannerHidden;
    moveTo(ABN_PtLevel, &posliv);
    setTimerRepeat(NoTicks);
    if (!readClock(start)) {
        return 1;
    }
    vissec = 1;
    endgame = 0;
    scoreliv = 0;
    armTimer(FirstTickDelay, velocit);
    accums = LevelSeconds;
    return 0;
}

// The level was not passed: the game-over picture covers the field, and the game ends.
int gameOver() {
    posover = CoverShown;
    moveTo(ABN_PtGover, &posover);
    PtWidgetToFront(widget(ABN_PtGover));
    PtWidgetToFront(widget(ABN_PtGo));
    if (ldf1 >= 1 && ldf1 <= 4) {
        checkRecord(ldf1);
    }
    return resetgame(nullptr, nullptr, nullptr);
}

int chooseDifficulty(int interval, const char* name, int number) {
    setButtonActive(ABN_PtGame, true);
    posopt = OptionsHidden;
    velocit = interval;
    moveTo(ABN_PtOption, &posopt);
    PtWidgetToBack(widget(ABN_PtOption));
    showText(ABN_PtLivellod, name);
    ldf1 = number;
    return 0;
}

}  // namespace

// --- The callbacks -------------------------------------------------------------------------

int open_window1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    if (!readClock(start)) {
        return 1;
    }
    accums = IdleLevelSeconds;
    vissec = 0;
    endgame = 0;
    velocit = 700;
    PtWidgetToFront(widget(ABN_PtSpet));
    loadScores();
    return 0;
}

int clic1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    armTimer(FirstTickDelay, velocit);
    endgame = 0;
    showText(ABN_PtScore, "0");
    posover = CoverHidden;
    moveTo(ABN_PtGover, &posover);
    vissec = 1;
    openPictures();
    if (!readClock(start)) {
        return 1;
    }
    setButtonActive(ABN_PtOpzioni, false);
    setButtonActive(ABN_PtAbout, false);
    accums = LevelSeconds;
    score = 0;
    scoreliv = 0;
    // A game over resets the level to 0, so a new game opens on level 1; Start during a game
    // begins a new game that carries the level count on.
    level = level + 1;
    return 0;
}

int movim1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    showPicture(ABN_PtG1, images[0]);
    if (!readClock(stop)) {
        return 1;
    }
    srand48(stop.tv_nsec);
    pos.x = static_cast<int16_t>(drand48() * 468.0 + 25.0);
    pos.y = static_cast<int16_t>(drand48() * 290.0 + 25.0);
    if (paus == 0) {
        moveTo(ABN_PtG1, &pos);
    }
    // While paused the gremlin stays behind the cover, out of reach of the pointer.
    if (endgame == 0 && paus == 0) {
        PtWidgetToFront(widget(ABN_PtG1));
    }
    accuma = static_cast<double>(stop.tv_sec - start.tv_sec);
    if (vissec == 1) {
        showNumber(ABN_PtSec1, static_cast<int>(accums - accuma));
    }
    PtFlush();
    if (accuma < accums) {
        return 0;
    }
    if (scoreliv >= PointsToPass) {
        return nextLevel();
    }
    return gameOver();
}

int resetgame(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    setTimerRepeat(NoTicks);
    PtWidgetToBack(widget(ABN_PtG1));
    if (!readClock(start)) {
        return 1;
    }
    pos = GremlinHidden;
    moveTo(ABN_PtG1, &pos);
    moveTo(ABN_PtG2, &pos);
    accums = IdleLevelSeconds;
    vissec = 0;
    endgame = 1;
    score = 0;
    scoreliv = 0;
    level = 0;
    setButtonActive(ABN_PtOpzioni, true);
    setButtonActive(ABN_PtAbout, true);
    return 0;
}

int ok1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    PtWidgetToFront(widget(ABN_PtG2));
    PtWidgetToBack(widget(ABN_PtG1));
    for (int frame = 0; frame < HitFrames; frame++) {
        cur_image = cur_image + 1;
        if (cur_image >= num_images - 2) {
            cur_image = 1;
        }
        moveTo(ABN_PtG2, &pos);
        showPicture(ABN_PtG2, images[cur_image]);
        PtFlush();
    }
    score = score + HitPoints;
    scoreliv = scoreliv + HitPoints;
    showNumber(ABN_PtScore, score);
    PtWidgetToBack(widget(ABN_PtG2));
    return 0;
}

int loose(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    score = score - MissPoints;
    scoreliv = scoreliv - MissPoints;
    showNumber(ABN_PtScore, score);
    return 0;
}

int Pausa(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    // Only a running game that is not paused yet can be paused.
    if (vissec != 1 || paus != 0) {
        return 0;
    }
    posover = CoverShown;
    paus = 1;
    moveTo(ABN_PtGover, &posover);
    PtWidgetToFront(widget(ABN_PtGover));
    PtWidgetToFront(widget(ABN_PtSpet));
    if (!readClock(pstart)) {
        return 1;
    }
    setTimerRepeat(NoTicks);
    PtWidgetToBack(widget(ABN_PtG1));
    setButtonActive(ABN_PtGame, false);
    return 0;
}

int Resum(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    // Only a pause can be resumed; otherwise the level would gain time it never paused for.
    if (paus != 1) {
        return 0;
    }
    paus = 0;
    if (!readClock(pstop)) {
        return 1;
    }
    setTimerRepeat(velocit);
    setButtonActive(ABN_PtGame, true);
    accump = static_cast<double>(pstop.tv_sec - pstart.tv_sec);
    accums = accums + accump;
    // The cover leaves the field, so that a click beside the gremlin is a miss again.
    posover = CoverHidden;
    moveTo(ABN_PtGover, &posover);
    return 0;
}

int Opzioni1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    setButtonActive(ABN_PtGame, false);
    posopt = OptionsShown;
    moveTo(ABN_PtOption, &posopt);
    PtWidgetToFront(widget(ABN_PtOption));
    return 0;
}

int Dummy1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return chooseDifficulty(900, "Dummy", 1);
}

int Begin1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return chooseDifficulty(700, "Beginner", 2);
}

int Normal1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return chooseDifficulty(600, "Normal", 3);
}

int Dominat1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return chooseDifficulty(500, "Dominator", 4);
}

int Invio(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    posrec = RecordHidden;
    moveTo(ABN_PtRecord1, &posrec);
    // The name goes to the slot where the record was made, whatever difficulty is chosen now.
    if (ldfrec >= 1 && ldfrec <= 4) {
        int k = ldfrec - 1;
        nom = nullptr;
        PtGetResource(widget(ABN_PtNome), Pt_ARG_TEXT_STRING, &nom, 0);
        fitName(nameSlots[k], NameSlotSize, nom != nullptr ? nom : "");
        showText(nameLabels[k], nameSlots[k]);
        ldfrec = 0;
    }
    return 0;
}

int esci(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    bool saved = saveScores();
    PtExit(saved ? 0 : 1);
    return 0;
}
