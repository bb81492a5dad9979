// Parsing and printing the source form of a module (see module_source.h).
#include "photon/db/module_source.h"

#include <cstdio>
#include <limits>

#include "photon/db/source_string.h"
#include "photon/db/value_text.h"
#include "photon/db/widget_db_write.h"

namespace photon::db {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Splits off the first blank-separated word of `text`, which is left holding the rest.
std::string_view takeWord(std::string_view& text) {
    std::size_t end = text.find_first_of(kBlanks);
    std::string_view word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : trim(text.substr(end));
    return word;
}

std::string hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", value);
    return buffer;
}

// A flag field in decimal or in hex ("0x..." with either case of digits).
std::optional<uint32_t> parseFlagField(std::string_view text) {
    if (text.substr(0, 2) != "0x")
        return parseUnsigned(text, std::numeric_limits<uint32_t>::max());
    text.remove_prefix(2);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | uint32_t(digit);
    }
    return value;
}

// A relative path that stays below the directory of the sources: no root, no "..".
bool isInsideDirectory(const std::string& file) {
    std::filesystem::path path(file);
    if (file.empty() || path.is_absolute() || path.has_root_name())
        return false;
    for (const auto& part : path)
        if (part == "..")
            return false;
    return true;
}

class SourceParser {
  public:
    SourceParser(std::string_view text, std::string_view fileName, const PictureLoader& load)
        : text_(text), fileName_(fileName), load_(load) {}

    Result<Module> parse();

  private:
    std::optional<std::string_view> nextLine() {
        if (pos_ >= text_.size())
            return std::nullopt;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++line_;
        return line;
    }
    // Whether the next line, trimmed, starts a quoted string (a line of a multi value).
    bool nextLineIsQuoted() const {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', pos_);
        std::string_view line = trim(text_.substr(
            pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_));
        return !line.empty() && line.front() == '"';
    }
    Error error(std::string what) const {
        return Error{std::move(what),
                     "source \"" + std::string(fileName_) + "\", line " + std::to_string(line_),
                     std::nullopt};
    }

    std::optional<Error> parseWidget(std::string_view rest, Module& module);
    std::optional<Error> parseResource(std::string_view line, Widget& widget);
    std::optional<Error> parseValue(std::string_view rest, Resource& resource);
    std::optional<Error> parsePixmap(std::string_view rest, Resource& resource);

    std::string_view text_;
    std::string_view fileName_;
    const PictureLoader& load_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
};

Result<Module> SourceParser::parse() {
    Module module;
    module.fileName = std::string(fileName_);
    bool haveTime = false;
    while (auto raw = nextLine()) {
        std::string_view line = trim(*raw);
        if (line.empty() || line.front() == '#')
            continue;
        std::string_view rest = line;
        std::string_view word = takeWord(rest);
        if (word == "time") {
            auto time = parseUnsigned(rest, std::numeric_limits<uint32_t>::max());
            if (!time || haveTime)
                return error("expected one line \"time SECONDS\"");
            module.timeStamp = uint32_t(*time);
            haveTime = true;
        } else if (word == "widget") {
            if (auto failure = parseWidget(rest, module))
                return *failure;
        } else if (module.widgets.empty()) {
            return error("a resource before the first widget");
        } else if (auto failure = parseResource(line, module.widgets.back())) {
            return *failure;
        }
    }
    if (!haveTime)
        return error("no line \"time SECONDS\"");
    return module;
}

std::optional<Error> SourceParser::parseWidget(std::string_view rest, Module& module) {
    Widget widget;
    widget.className = std::string(takeWord(rest));
    auto level = parseUnsigned(takeWord(rest), std::numeric_limits<uint32_t>::max());
    if (widget.className.empty() || !level || rest.empty())
        return error("expected \"widget CLASS LEVEL NAME\"");
    widget.level = uint32_t(*level);
    widget.name = std::string(rest);
    module.widgets.push_back(std::move(widget));
    return std::nullopt;
}

std::optional<Error> SourceParser::parseResource(std::string_view line, Widget& widget) {
    std::string_view rest = line;
    std::string_view numberWord = takeWord(rest);
    auto number = parseUnsigned(numberWord, std::numeric_limits<uint32_t>::max());
    if (!number || *number == 0)
        return error("expected \"NUMBER TYPE VALUE\", not \"" + std::string(line) + "\"");
    std::string_view word = takeWord(rest);
    auto type = valueTypeFromWord(word);
    if (!type)
        return error("unknown type word \"" + std::string(word) + "\"");
    Resource resource{uint32_t(*number), *type, {}};
    if (auto failure = parseValue(rest, resource))
        return failure;
    widget.resources.push_back(std::move(resource));
    return std::nullopt;
}

std::optional<Error> SourceParser::parseValue(std::string_view rest, Resource& resource) {
    auto bad = [&] {
        return error("malformed " + std::string(typeWord(resource.type)) + " value \"" +
                     std::string(rest) + "\"");
    };
    switch (resource.type) {
        case ValueType::Flag: {
            auto pair = splitPair(rest);
            if (!pair)
                return bad();
            auto value = parseFlagField(pair->first);
            auto mask = parseFlagField(pair->second);
            if (!value || !mask)
                return bad();
            resource.value = Flags{*value, *mask};
            return std::nullopt;
        }
        case ValueType::String:
        case ValueType::Font:
        case ValueType::Multi: {
            if (resource.type == ValueType::Multi && rest.empty()) {
                if (!nextLineIsQuoted())
                    return error("a multi value without quoted lines");
                std::string joined;
                for (bool first = true; nextLineIsQuoted(); first = false) {
                    auto piece = unquoteSourceString(trim(*nextLine()));
                    if (!piece)
                        return error("malformed quoted line");
                    joined += (first ? "" : "\n") + *piece;
                }
                resource.value = std::move(joined);
                return std::nullopt;
            }
            auto text = unquoteSourceString(rest);
            if (!text)
                return bad();
            resource.value = std::move(*text);
            return std::nullopt;
        }
        case ValueType::Pixmap:
            return parsePixmap(rest, resource);
        default: {
            auto value = parseValueLine(resource.type, rest);
            if (!value)
                return bad();
            resource.value = std::move(*value);
            return std::nullopt;
        }
    }
    return bad();
}

std::optional<Error> SourceParser::parsePixmap(std::string_view rest, Resource& resource) {
    std::string file(takeWord(rest));
    if (!isInsideDirectory(file))
        return error("a pixmap needs a picture file below the module's directory, not \"" + file +
                     "\"");
    auto loaded = load_(file);
    if (!loaded)
        return loaded.error();
    Picture picture = std::move(*loaded);
    assignTags(picture);
    std::optional<uint32_t> imageTag, paletteTag;
    while (!rest.empty()) {
        std::string_view option = takeWord(rest);
        std::size_t equals = option.find('=');
        std::string_view key = option.substr(0, equals);
        auto value = equals == std::string_view::npos ? std::nullopt
                                                      : parseFlagField(option.substr(equals + 1));
        if (!value)
            return error("malformed picture option \"" + std::string(option) + "\"");
        if (key == "byte32" && *value <= 0xFF) {
            picture.byte32 = uint8_t(*value);
        } else if (key == "imagetag") {
            imageTag = *value;
        } else if (key == "palettetag") {
            paletteTag = *value;
        } else if (key.substr(0, 8) == "palette[" && key.back() == ']') {
            auto index = parseUnsigned(key.substr(8, key.size() - 9), 255);
            if (!index || *index >= picture.palette.size() || *value > 0xFFFFFF)
                return error("palette option \"" + std::string(option) +
                             "\" outside the picture's palette");
            picture.palette[*index] = *value;
        } else {
            return error("unknown picture option \"" + std::string(option) + "\"");
        }
    }
    assignTags(picture);
    if (imageTag)
        picture.imageTag = *imageTag;
    if (paletteTag)
        picture.paletteTag = *paletteTag;
    resource.value = std::move(picture);
    return std::nullopt;
}

std::string printValue(const Resource& r, const Widget& widget, const PictureNamer& namePicture,
                       const std::string& indent) {
    if (const Dim* dim = r.dim())
        return std::to_string(dim->width) + "," + std::to_string(dim->height);
    if (const Pos* pos = r.pos())
        return std::to_string(pos->x) + "," + std::to_string(pos->y);
    if (const Colour* colour = r.colour())
        return colour->plainZero ? "0" : hex(colour->rgb);
    if (const int64_t* integer = r.integer())
        return std::to_string(*integer);
    if (const Flags* flags = r.flags())
        return hex(flags->value) + "," + hex(flags->mask);
    if (const uint32_t* index = r.index())
        return std::to_string(*index);
    if (const Picture* picture = r.picture())
        return namePicture(*picture, widget);
    const std::string& text = *r.text();
    if (r.type != ValueType::Multi || text.find('\n') == std::string::npos)
        return quoteSourceString(text);
    std::string lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\n', start);
        lines += "\n" + indent + "    " +
                 quoteSourceString(std::string_view(text).substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

Result<Module> parseModuleSource(std::string_view text, std::string_view fileName,
                                 const PictureLoader& loadPicture) {
    return SourceParser(text, fileName, loadPicture).parse();
}

std::string printModuleSource(const Module& module, const PictureNamer& namePicture) {
    std::string out = "# Module " + module.fileName + "\n# " + utcTimeText(module.timeStamp) +
                      "\ntime " + std::to_string(module.timeStamp) + "\n";
    for (const Widget& widget : module.widgets) {
        std::string indent(4 * (widget.level - 1), ' ');
        out += "\n" + indent + "widget " + widget.className + " " + std::to_string(widget.level) +
               " " + widget.name + "\n";
        indent += "    ";
        for (const Resource& r : widget.resources) {
            std::string value = printValue(r, widget, namePicture, indent);
            out += indent + std::to_string(r.number) + " " + std::string(typeWord(r.type)) +
                   (value.front() == '\n' ? "" : " ") + value + "\n";
        }
    }
    return out;
}

std::string pictureOptions(const Picture& picture, const Picture& base) {
    std::string options;
    if (picture.byte32 != 0)
        options += " byte32=" + std::to_string(picture.byte32);
    for (std::size_t i = 0; i < picture.palette.size() && i < base.palette.size(); ++i) {
        if (picture.palette[i] == base.palette[i])
            continue;
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, " palette[%zu]=0x%06x", i, picture.palette[i]);
        options += buffer;
    }
    Picture computed = picture;
    assignTags(computed);
    if (picture.imageTag != computed.imageTag)
        options += " imagetag=" + hex(picture.imageTag);
    if (picture.paletteTag != computed.paletteTag)
        options += " palettetag=" + hex(picture.paletteTag);
    return options;
}

}  // namespace photon::db
