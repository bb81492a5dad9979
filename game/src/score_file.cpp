#include "score_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int readScoreLine(FILE* stream, char* line, int size) {
    if (std::fgets(line, size, stream) == nullptr) {
        return 0;
    }
    size_t length = std::strlen(line);
    bool cut = length > 0 && length + 1 == static_cast<size_t>(size) && line[length - 1] != '\n';
    if (cut) {
        int c;
        do {
            c = std::fgetc(stream);
        } while (c != '\n' && c != EOF);
    }
    return 1;
}

void fitName(char* slot, int slotSize, const char* text) {
    size_t room = static_cast<size_t>(slotSize) - 2;
    size_t length = std::strcspn(text, "\n");
    if (length > room) {
        length = room;
        // Back off over UTF-8 continuation bytes so that no character is cut in half.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memcpy(slot, text, length);
    slot[length] = '\n';
    slot[length + 1] = '\0';
}

bool beginReplacement(const char* path, ReplacementFile& file) {
    file.path = path;
    file.temporaryPath = file.path + "." + std::to_string(getpid()) + ".new";
    // Mode 0666 lets the umask decide, as for a file that fopen creates.
    int descriptor =
        open(file.temporaryPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    if (descriptor == -1) {
        return false;
    }
    file.stream = fdopen(descriptor, "w");
    if (file.stream == nullptr) {
        int error = errno;
        close(descriptor);
        unlink(file.temporaryPath.c_str());
        errno = error;
        return false;
    }
    return true;
}

bool finishReplacement(ReplacementFile& file) {
    bool written = std::fflush(file.stream) == 0 && !std::ferror(file.stream) &&
                   fsync(fileno(file.stream)) == 0;
    int error = errno;
    if (std::fclose(file.stream) != 0 && written) {
        written = false;
        error = errno;
    }
    file.stream = nullptr;
    if (written && std::rename(file.temporaryPath.c_str(), file.path.c_str()) == 0) {
        return true;
    }
    if (written) {
        error = errno;
    }
    unlink(file.temporaryPath.c_str());
    errno = error;
    return false;
}
