#include "skeleton_fixture.h"

#include <cstdlib>

const photon::db::Database& gameDatabase() {
    static const photon::db::Database database = [] {
        auto bytes = photon::db::readDatabaseBytes(GAME_DATABASE);
        if (!bytes) {
            std::abort();
        }
        auto read = photon::db::readDatabase(bytes.value());
        if (!read) {
            std::abort();
        }
        return read.value();
    }();
    return database;
}

static uint8_t indexAt(const photon::db::Picture& picture, int x, int y) {
    return picture.pixels[static_cast<std::size_t>(y) * picture.bytesPerRow + x];
}

uint32_t pictureColour(const photon::db::Picture& picture, int x, int y) {
    if (picture.imageType == photon::db::kImageDirect24) {
        const uint8_t* p =
            &picture.pixels[static_cast<std::size_t>(y) * picture.bytesPerRow + x * 3];
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    return picture.palette.at(indexAt(picture, x, y)) & 0xFFFFFF;
}

bool pictureTransparent(const photon::db::Picture& picture, int x, int y) {
    return picture.transparentIndex && indexAt(picture, x, y) == *picture.transparentIndex;
}
