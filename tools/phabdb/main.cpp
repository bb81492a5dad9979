// phabdb: looks inside, unpacks, packs and checks widget databases.
//
//   phabdb list FILE        the module directory, then each module's widget tree
//   phabdb unpack FILE DIR  module sources and PNG pictures into DIR
//   phabdb pack DIR OUT     a database from the module sources and pictures in DIR
//   phabdb check FILE       reads everything; reports the first damage
//
// FILE is a database or a program file that carries one in its section "QNX_PhAB".
// Exit status: 0 done, 1 damaged input or a failed step, 2 wrong usage.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "list_database.h"
#include "photon/db/module_source.h"
#include "photon/db/widget_db.h"
#include "photon/db/widget_db_write.h"

namespace {

using namespace photon::db;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int usage() {
    std::fputs(
        "usage: phabdb list FILE\n"
        "       phabdb unpack FILE DIR\n"
        "       phabdb pack DIR OUT\n"
        "       phabdb check FILE\n"
        "FILE is a widget database or a program file with a section \"QNX_PhAB\".\n",
        stderr);
    return kUsage;
}

int fail(const Error& error) {
    std::fprintf(stderr, "phabdb: %s\n", error.message().c_str());
    return kFailed;
}

Result<Database> load(const std::string& path) {
    auto bytes = readDatabaseBytes(path);
    if (!bytes)
        return bytes.error();
    auto database = readDatabase(*bytes);
    if (!database) {
        Error error = database.error();
        error.where = path + ": " + error.where;
        return error;
    }
    return database;
}

int list(const std::string& file) {
    auto database = load(file);
    if (!database)
        return fail(database.error());
    std::fputs(phabdb::listDatabase(*database).c_str(), stdout);
    return kOk;
}

int check(const std::string& file) {
    auto database = load(file);
    if (!database)
        return fail(database.error());
    std::size_t widgets = 0, pictures = 0;
    for (const Module& module : database->modules)
        for (const Widget& widget : module.widgets) {
            ++widgets;
            for (const Resource& resource : widget.resources)
                pictures += resource.picture() != nullptr;
        }
    std::printf("%s: ok, %zu modules, %zu widgets, %zu pictures\n", file.c_str(),
                database->modules.size(), widgets, pictures);
    return kOk;
}

int unpack(const std::string& file, const std::string& directory) {
    auto database = load(file);
    if (!database)
        return fail(database.error());
    if (auto failure = writeSourceDirectory(*database, directory))
        return fail(*failure);
    return kOk;
}

// Writes beside OUT first and renames, so that a failed pack never leaves a partial database.
int pack(const std::string& directory, const std::string& out) {
    auto database = loadSourceDirectory(directory);
    if (!database)
        return fail(database.error());
    auto bytes = writeDatabase(*database);
    if (!bytes)
        return fail(bytes.error());
    if (auto reread = readDatabase(*bytes); !reread)
        return fail(reread.error());
    std::string temporary = out + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    bool written =
        file != nullptr && std::fwrite(bytes->data(), 1, bytes->size(), file) == bytes->size();
    if (file != nullptr && std::fclose(file) != 0)
        written = false;
    std::error_code renameFailure;
    if (written)
        std::filesystem::rename(temporary, out, renameFailure);
    if (!written || renameFailure) {
        std::filesystem::remove(temporary, renameFailure);
        return fail(Error{"cannot write the database", out, 0});
    }
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string_view command = argv[1];
    if (command == "list" && argc == 3)
        return list(argv[2]);
    if (command == "check" && argc == 3)
        return check(argv[2]);
    if (command == "unpack" && argc == 4)
        return unpack(argv[2], argv[3]);
    if (command == "pack" && argc == 4)
        return pack(argv[2], argv[3]);
    return usage();
}
