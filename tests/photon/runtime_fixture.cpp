#include "runtime_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "clock.h"
#include "photon/db/widget_db_write.h"

namespace photon_test {
namespace {

using photon::db::Colour;
using photon::db::Dim;
using photon::db::Flags;
using photon::db::Pos;
using photon::db::Resource;
using photon::db::ValueType;
using photon::db::Widget;

template <typename T>
Resource resource(uint32_t number, ValueType type, T value) {
    Resource made;
    made.number = number;
    made.type = type;
    made.value.emplace<T>(std::move(value));
    return made;
}

Widget widget(const char* className, uint32_t level, const char* name, uint32_t index,
              std::vector<Resource> resources) {
    resources.insert(resources.begin(), resource(1004, ValueType::Data, index));
    return Widget{className, level, name, std::move(resources)};
}

Resource pos(int x, int y) {
    return resource(1007, ValueType::Pos, Pos{x, y});
}
Resource dim(int w, int h) {
    return resource(1005, ValueType::Dim, Dim{w, h});
}
Resource text(const std::string& value) {
    return resource(3011, ValueType::Multi, value);
}
Resource fill(uint32_t rgb) {
    return resource(2002, ValueType::Crgb, Colour{rgb});
}
Resource selectable() {
    return resource(1006, ValueType::Flag, Flags{0x2080080, 0x4F8A059E});
}

photon::db::Picture testPicture() {
    photon::db::Picture picture;
    picture.width = 4;
    picture.height = 2;
    picture.bytesPerRow = photon::db::bytesPerRowFor(4, 1);
    picture.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    picture.transparentIndex = 0;
    picture.pixels.assign(picture.bytesPerRow * 2, 0);
    for (int x = 0; x < 4; ++x) {
        picture.pixels[x] = static_cast<uint8_t>(x);
        picture.pixels[picture.bytesPerRow + x] = static_cast<uint8_t>(3 - x);
    }
    photon::db::assignTags(picture);
    return picture;
}

photon::db::Database testDatabase() {
    std::string help;
    for (int line = 1; line <= 12; ++line) {
        help += "Line " + std::to_string(line) + (line < 12 ? "\n" : "");
    }
    photon::db::Module window;
    window.fileName = "test.wgtw";
    window.widgets = {
        widget("PtWindow", 1, "Win", kWindow,
               {dim(200, 100), resource(18015, ValueType::String, std::string("Test window"))}),
        widget("PtLabel", 2, "Sel", kSelectable,
               {pos(10, 10), dim(50, 20), text("Sel"), selectable()}),
        widget("PtLabel", 2, "Plain", kPlain, {pos(70, 10), dim(50, 20), text("Plain")}),
        widget("PtLabel", 2, "Front", kFront, {pos(35, 10), dim(50, 20), selectable()}),
        widget("PtLabel", 2, "Cover", kCover, {pos(70, 10), dim(20, 20)}),
        widget("PtTimer", 2, "Tick", kTimer,
               {resource(41000, ValueType::Short, int64_t{2130000000}),
                resource(41001, ValueType::Short, int64_t{600})}),
        widget("PtText", 2, "Field", kField,
               {pos(10, 40), dim(100, 24), resource(4005, ValueType::Short, int64_t{5})}),
        widget("PtMultiText", 2, "Help", kHelp, {pos(120, 40), dim(70, 50), text(help)}),
        widget("PtPane", 2, "Box", kBox, {pos(8, 70), dim(60, 26), fill(0x0000FF)}),
        widget("PtLabel", 3, "Inner", kInner, {dim(56, 22), fill(0xFF0000)}),
        widget("PtButton", 2, "Button", kButton, {pos(130, 92), dim(60, 20), text("OK")}),
    };
    photon::db::Module pictures;
    pictures.fileName = "pictures.wgtp";
    pictures.widgets = {
        widget("PtPane", 1, "Store", 0, {dim(50, 50)}),
        widget("PtLabel", 2, "Pic", 1,
               {resource(3003, ValueType::Short, int64_t{4}),
                resource(3001, ValueType::Pixmap, testPicture())}),
    };
    return photon::db::Database{{pictures, window}};
}

int record(PtWidget_t* widget, ApInfo_t* info, PtCallbackInfo_t* cbinfo) {
    std::string entry = photon::testing::nameOf(widget) + ":" + std::to_string(info->reason);
    if (cbinfo->reason == Pt_CB_HOTKEY) {
        entry += ":" + std::string(1, static_cast<char>(*static_cast<int*>(cbinfo->cbdata)));
    }
    if (cbinfo->reason == Pt_CB_TIMER_ACTIVATE) {
        entry += "@" + std::to_string(photon::currentClock().nowMs());
    }
    events().push_back(entry);
    return 0;
}

constexpr ApLink_t codeLink(const char* widget, long reason, int key = 0) {
    return {Ap_LINK_CODE,
            key ? Ap_LINK_SUBTYPE_HOTKEY : 0,
            key,
            {0, 0},
            nullptr,
            0,
            widget,
            reason,
            record,
            0,
            0,
            {0, 0, 0}};
}

const ApClassTab_t classTable[] = {
    {"PtWindow", PtWindow},       {"PtLabel", PtLabel}, {"PtPane", PtPane},
    {"PtTimer", PtTimer},         {"PtText", PtText},   {"PtButton", PtButton},
    {"PtMultiText", PtMultiText}, {nullptr, nullptr},
};

const ApLink_t windowLinks[] = {
    codeLink("Win", Pt_CB_REALIZED),    codeLink("Win", Pt_CB_HOTKEY, 'p'),
    codeLink("Sel", Pt_CB_ACTIVATE),    codeLink("Plain", Pt_CB_ACTIVATE),
    codeLink("Front", Pt_CB_ACTIVATE),  codeLink("Tick", Pt_CB_TIMER_ACTIVATE),
    codeLink("Button", Pt_CB_ACTIVATE), {},
};

}  // namespace

std::vector<std::string>& events() {
    static std::vector<std::string> recorded;
    return recorded;
}

ApModule_t testWindowModule{"test.wgtw", nullptr, windowLinks, 0, 7};
ApModule_t testPictureModule{"pictures.wgtp", nullptr, nullptr, 0, 0};
ApLink_t testPictureLink[] = {
    {Ap_LINK_PICTURE, 0, 0, {0, 0}, &testPictureModule, 0, nullptr, 0, nullptr, 0, 0, {0, 0, 0}},
    {},
};

std::string RuntimeTest::databasePath() {
    // One file per test process: ctest runs the tests of this binary in parallel processes.
    static const std::string path = [] {
        std::string file =
            ::testing::TempDir() + "/runtime_test-" + std::to_string(getpid()) + ".phab";
        auto bytes = photon::db::writeDatabase(testDatabase());
        if (!bytes) {
            ADD_FAILURE() << bytes.error().message();
            return file;
        }
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.value().data()),
                   static_cast<std::streamsize>(bytes.value().size()));
        return file;
    }();
    // Registered after the path is made, so it runs before the path is destroyed. Death tests
    // end forked children with exit(), which must leave the parent's file alone.
    static const pid_t owner = getpid();
    static const bool removedAtExit = std::atexit([] {
                                          if (getpid() == owner) {
                                              std::remove(path.c_str());
                                          }
                                      }) == 0;
    (void)removedAtExit;
    return path;
}

void RuntimeTest::SetUp() {
    events().clear();
    context = {classTable, 1, widgets, {0, 0, 0, 0, 0}};
    testWindowModule.context = &context;
    testPictureModule.context = &context;
    driver = std::make_unique<photon::testing::Driver>(databasePath());
}

void RuntimeTest::TearDown() {
    driver.reset();
}

PtWidget_t* RuntimeTest::open(const std::vector<std::string>& options) {
    static const ApLink_t applicationLinks[] = {
        {Ap_LINK_WINDOW, 0, 0, {0, 0}, &testWindowModule, 0, nullptr, 0, nullptr, 0, 9, {0, 0, 0}},
        {},
    };
    std::vector<std::string> arguments{"runtime_test"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return driver->start(&context, applicationLinks, arguments);
}

std::string RuntimeTest::text(PtWidget_t* widget) {
    char* value = nullptr;
    PtGetResource(widget, Pt_ARG_TEXT_STRING, &value, 0);
    return value ? value : "";
}

}  // namespace photon_test
