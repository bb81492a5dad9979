// The state of the game "Pelm": global variables that the callbacks of clic1.cpp share. Every
// callback runs on the Photon main loop to its end, so none of this needs a lock.
#pragma once

#include <cstdio>
#include <ctime>

#include "abmain.h"

// --- The running game ---------------------------------------------------------------------

extern int score;     // points of the running game, shown in PtScore; may fall below 0
extern int scoreliv;  // points gained in the current level; 100 or more pass it
extern int level;     // number of the current level, 1 for the first after Start
extern int velocit;   // tick interval in milliseconds (repeat time of PtTimer1)
extern int ldf1;      // chosen difficulty 1 to 4; 0 until the player first chooses one

extern double accums;  // length of the level in seconds: 20 plus its pauses; 10000 when idle
extern double accuma;  // whole seconds from the level's start to the last tick
extern double accump;  // whole seconds of the last pause

extern int vissec;   // 1 while a game runs: each tick shows the remaining seconds
extern int endgame;  // 1 after a game over; while 0, each tick raises the gremlin
extern int paus;     // 1 while paused: ticks leave the gremlin where it is

extern timespec start;   // start of the current level (also window opening and game over)
extern timespec stop;    // reading of the current tick
extern timespec pstart;  // start of the pause
extern timespec pstop;   // end of the pause

extern PhPoint_t pos;      // the gremlin's place; (10, 500) after a game over
extern PhPoint_t posover;  // place of the cover pane PtGover
extern PhPoint_t posliv;   // place of the level banner PtLevel
extern PhPoint_t posopt;   // place of the options pane PtOption

extern PhImage_t* images[4];  // the pictures "PtGrem1" to "PtGrem4" of the picture module
extern ApDBase_t* database;   // the picture module, opened at the first Start

extern char buffer[20];   // decimal text of a number, for the labels
extern char livello[20];  // text of the level banner, "Level " and the number

// --- The high-score table ------------------------------------------------------------------

// Name slots: the record holder's name, its newline and the terminating zero.
inline constexpr int NameSlotSize = 20;
extern char nome1[NameSlotSize];
extern char nome2[NameSlotSize];
extern char nome3[NameSlotSize];
extern char nome4[NameSlotSize];
// Score slots: the best score of each difficulty.
extern int vscore1;
extern int vscore2;
extern int vscore3;
extern int vscore4;

extern char buffer2[80];  // one line of score.pml, read or to be written
extern FILE* fp;          // score.pml while it is open
extern int j;             // number of the line in hand, from 1
extern char vscore[20];   // text of a score line when saving
extern char* vscor;       // text of a score label, read back at game over
extern char* nom;         // text of the name field, read back on OK
extern PhPoint_t posrec;  // place of the new-record pane PtRecord1

// Difficulty (1 to 4) whose slot holds the record waiting for its name, 0 when none waits.
extern int ldfrec;
