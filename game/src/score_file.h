// The text of score.pml: reading its lines, fitting a name into its slot, and replacing the file
// whole, so that a crash or a full disk never leaves half a table behind.
#pragma once

#include <cstdio>
#include <string>

// Reads one line of `stream` into `line` (at most size - 1 bytes and a terminating zero), as
// fgets does. A line too long for `line` is cut, and the rest of it up to its newline is read
// and dropped, so that the next read starts on the next line. Returns 1 when a line was read,
// 0 at the end of the stream or on a read error (`line` is then left as it was).
int readScoreLine(FILE* stream, char* line, int size);

// Fills a name slot of `slotSize` bytes with the first line of `text`, cut to slotSize - 2
// bytes (without splitting a UTF-8 character), followed by a newline and a zero.
void fitName(char* slot, int slotSize, const char* text);

// A file being written under a temporary name beside the one it will replace.
struct ReplacementFile {
    FILE* stream = nullptr;
    std::string path;           // the file to replace
    std::string temporaryPath;  // where the new text goes until it is complete
};

// Opens a temporary file beside `path` for writing, with the permissions a new file would get.
// Returns false, with errno set, when it cannot be created.
bool beginReplacement(const char* path, ReplacementFile& file);

// Writes out and closes the temporary file and renames it over the file it replaces. On any
// failure the temporary file is removed, the old file stays as it was, and false is returned
// with errno set.
bool finishReplacement(ReplacementFile& file);
