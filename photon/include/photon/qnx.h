// C library functions of the game's home system that Linux's C library lacks.
#pragma once

// Suspends the calling thread for `milliseconds` (on the run time's clock, so a test's virtual
// clock moves instead). Returns 0.
unsigned int delay(unsigned int milliseconds);

// Writes the text of `value` in base `radix` (2 to 36; a minus sign only in base 10) into
// `buffer`, which must have room for it and its terminating zero, and returns `buffer`.
char* itoa(int value, char* buffer, int radix);
