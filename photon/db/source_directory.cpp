// A directory of module sources and PNG pictures: what `phabdb pack` reads and `phabdb unpack`
// writes.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "photon/db/module_source.h"
#include "photon/db/png_picture.h"

namespace photon::db {
namespace {

namespace fs = std::filesystem;

// Where unpacking puts the pictures, relative to the sources.
const std::string kPictureFolder = "pictures/";

bool isModuleSource(const fs::path& path) {
    return path.extension().string().rfind(".wgt", 0) == 0;
}

Result<std::string> readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Error{"cannot read the file", path.string(), std::nullopt};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<Error> writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out)
        return Error{"cannot write the file", path.string(), std::nullopt};
    return std::nullopt;
}

// The same picture apart from palette colours, tags and byte32: one PNG can serve both.
bool samePixels(const Picture& a, const Picture& b) {
    return a.imageType == b.imageType && a.width == b.width && a.height == b.height &&
           a.transparentIndex == b.transparentIndex && a.palette.size() == b.palette.size() &&
           a.pixels == b.pixels;
}

// Hands out PNG files for the pictures of a database being unpacked, one per distinct picture.
class PictureFiles {
  public:
    explicit PictureFiles(fs::path directory) : directory_(std::move(directory)) {}

    // The rest of the pixmap line for `picture`, writing its PNG when it is new.
    std::string name(const Picture& picture, const Widget& widget) {
        for (const auto& [file, base] : written_)
            if (samePixels(picture, base))
                return file + pictureOptions(picture, base);
        std::string file = freeName(widget.name);
        std::error_code failed;
        fs::create_directories((directory_ / file).parent_path(), failed);
        if (auto failure = writePngPicture(picture, (directory_ / file).string())) {
            if (!error_)
                error_ = failure;
            return file;
        }
        written_.emplace_back(file, picture);
        return file + pictureOptions(picture, picture);
    }

    const std::optional<Error>& error() const { return error_; }

  private:
    std::string freeName(const std::string& widgetName) {
        std::string stem;
        for (char c : widgetName)
            stem += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
        std::string file = kPictureFolder + stem + ".png";
        for (int n = 2; std::any_of(written_.begin(), written_.end(),
                                    [&](const auto& entry) { return entry.first == file; });
             ++n)
            file = kPictureFolder + stem + "_" + std::to_string(n) + ".png";
        return file;
    }

    fs::path directory_;
    std::vector<std::pair<std::string, Picture>> written_;
    std::optional<Error> error_;
};

}  // namespace

Result<Database> loadSourceDirectory(const fs::path& directory) {
    std::error_code failure;
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(directory, failure))
        if (entry.is_regular_file() && isModuleSource(entry.path()))
            sources.push_back(entry.path());
    if (failure)
        return Error{failure.message(), directory.string(), std::nullopt};
    if (sources.empty())
        return Error{"no module sources (*.wgt?)", directory.string(), std::nullopt};
    std::sort(sources.begin(), sources.end());

    std::map<std::string, Picture> pictures;
    PictureLoader load = [&](const std::string& file) -> Result<Picture> {
        auto known = pictures.find(file);
        if (known != pictures.end())
            return known->second;
        auto picture = readPngPicture((directory / file).string());
        if (picture)
            pictures.emplace(file, *picture);
        return picture;
    };
    Database database;
    for (const fs::path& path : sources) {
        auto text = readText(path);
        if (!text)
            return text.error();
        auto module = parseModuleSource(*text, path.filename().string(), load);
        if (!module)
            return module.error();
        database.modules.push_back(std::move(*module));
    }
    return database;
}

std::optional<Error> writeSourceDirectory(const Database& database, const fs::path& directory) {
    std::error_code failure;
    fs::create_directories(directory, failure);
    if (failure)
        return Error{failure.message(), directory.string(), std::nullopt};
    PictureFiles files(directory);
    PictureNamer namer = [&](const Picture& picture, const Widget& widget) {
        return files.name(picture, widget);
    };
    for (const Module& module : database.modules) {
        std::string text = printModuleSource(module, namer);
        if (files.error())
            return files.error();
        if (auto failed = writeText(directory / module.fileName, text))
            return failed;
    }
    return std::nullopt;
}

}  // namespace photon::db
