// Reading one module text: the format line, then widget after widget, each with its resources,
// each value decoded by its type word. Every step checks its input against the declared size.
#include <limits>
#include <unordered_set>

#include "photon/db/picture_block.h"
#include "photon/db/value_text.h"
#include "photon/db/widget_db.h"

namespace photon::db {
namespace {

// Walks a module text line by line; multi and pixmap values are taken as counted bytes. Knows
// where it is, so that every error can name the module, line, widget and resource.
class ModuleReader {
  public:
    ModuleReader(std::span<const uint8_t> text, std::string_view fileName, std::size_t base)
        : text_(text), fileName_(fileName), base_(base) {}

    Result<Module> read();

  private:
    std::optional<Error> readWidget(Module& module);
    std::optional<Error> readResource(Widget& widget, uint32_t number);
    std::optional<Error> readValue(Resource& resource);

    bool atEnd() const { return pos_ == text_.size(); }

    // Whether the next line is `line`, without taking it.
    bool nextLineIs(std::string_view line) const {
        std::string_view rest(reinterpret_cast<const char*>(text_.data()) + pos_,
                              text_.size() - pos_);
        return rest.size() > line.size() && rest.substr(0, line.size()) == line &&
               rest[line.size()] == '\n';
    }

    // The next line without its line feed; nullopt when the text ends before a line feed.
    std::optional<std::string_view> nextLine() {
        lineStart_ = pos_;
        lineNumber_ = line_ + 1;
        for (std::size_t i = pos_; i < text_.size(); ++i) {
            if (text_[i] != '\n')
                continue;
            std::string_view line(reinterpret_cast<const char*>(text_.data()) + pos_, i - pos_);
            pos_ = i + 1;
            ++line_;
            return line;
        }
        return std::nullopt;
    }

    Error error(std::string what, std::optional<std::size_t> at = std::nullopt) const {
        std::string where =
            "module \"" + std::string(fileName_) + "\", line " + std::to_string(lineNumber_);
        if (!widgetName_.empty())
            where += ", widget \"" + widgetName_ + "\"";
        if (resourceNumber_ != 0)
            where += ", resource " + std::to_string(resourceNumber_);
        return Error{std::move(what), std::move(where), base_ + at.value_or(lineStart_)};
    }

    // A line that must be there; `what` names it in the error when the text ends first.
    Result<std::string_view> requireLine(std::string_view what) {
        if (auto line = nextLine())
            return *line;
        return error(std::string(what) + " runs past the end of the module text", pos_);
    }

    std::span<const uint8_t> text_;
    std::string_view fileName_;
    std::size_t base_;
    std::size_t pos_ = 0;
    std::size_t lineStart_ = 0;
    std::size_t line_ = 0;        // lines read so far
    std::size_t lineNumber_ = 0;  // the line being read, counting from 1
    std::string widgetName_;
    uint32_t resourceNumber_ = 0;
};

Result<Module> ModuleReader::read() {
    Module module;
    module.fileName = std::string(fileName_);
    module.size = uint32_t(text_.size());
    auto format = requireLine("the format line");
    if (!format)
        return format.error();
    if (*format != kFormatLine)
        return error("format line is \"" + std::string(*format) + "\", expected \"" +
                     std::string(kFormatLine) + "\"");
    while (!atEnd()) {
        if (nextLineIs("0")) {
            nextLine();
            if (!atEnd())
                return error(std::to_string(text_.size() - pos_) +
                                 " bytes after the line \"0\" that ends the widgets",
                             pos_);
            break;
        }
        if (auto failure = readWidget(module))
            return *failure;
    }
    widgetName_.clear();
    if (module.widgets.empty())
        return error("module has no widgets");
    return module;
}

std::optional<Error> ModuleReader::readWidget(Module& module) {
    widgetName_.clear();
    resourceNumber_ = 0;
    Widget widget;
    auto className = requireLine("a class name");
    if (!className)
        return className.error();
    if (className->empty())
        return error("empty class name");
    widget.className = std::string(*className);

    auto levelLine = requireLine("the nesting level of a " + widget.className);
    if (!levelLine)
        return levelLine.error();
    auto level = parseUnsigned(*levelLine, std::numeric_limits<uint32_t>::max());
    if (!level || *level == 0)
        return error("nesting level \"" + std::string(*levelLine) + "\" is not a number from 1 up");
    widget.level = uint32_t(*level);
    uint32_t expectedMax = module.widgets.empty() ? 1 : module.widgets.back().level + 1;
    if (module.widgets.empty() && widget.level != 1)
        return error("the first widget has level " + std::to_string(widget.level) +
                     "; the root must have level 1");
    if (!module.widgets.empty() && widget.level == 1)
        return error("a second root widget (level 1)");
    if (widget.level > expectedMax)
        return error("nesting level " + std::to_string(widget.level) + " skips a level (at most " +
                     std::to_string(expectedMax) + " here)");

    auto name = requireLine("the name of a " + widget.className);
    if (!name)
        return name.error();
    if (name->empty())
        return error("empty widget name");
    widget.name = std::string(*name);
    widgetName_ = widget.name;

    std::unordered_set<uint32_t> seen;
    for (;;) {
        resourceNumber_ = 0;
        auto numberLine = requireLine("the resources of the widget");
        if (!numberLine)
            return numberLine.error();
        if (*numberLine == "0")
            break;
        auto number = parseUnsigned(*numberLine, std::numeric_limits<uint32_t>::max());
        if (!number)
            return error("resource number \"" + std::string(*numberLine) + "\" is not a number");
        resourceNumber_ = uint32_t(*number);
        // A set, not a search of the list: a damaged widget may hold very many resources.
        if (!seen.insert(resourceNumber_).second)
            return error("resource stored twice");
        if (auto failure = readResource(widget, resourceNumber_))
            return failure;
    }
    module.widgets.push_back(std::move(widget));
    return std::nullopt;
}

std::optional<Error> ModuleReader::readResource(Widget& widget, uint32_t number) {
    auto word = requireLine("the type word");
    if (!word)
        return word.error();
    auto type = valueTypeFromWord(*word);
    if (!type)
        return error("unknown type word \"" + std::string(*word) + "\"");
    Resource resource{number, *type, {}};
    if (auto failure = readValue(resource))
        return failure;
    widget.resources.push_back(std::move(resource));
    return std::nullopt;
}

std::optional<Error> ModuleReader::readValue(Resource& resource) {
    std::string_view word = typeWord(resource.type);
    if (resource.type == ValueType::Pixmap) {
        PictureDecode decoded = decodePictureBlock(text_.subspan(pos_));
        if (!decoded.error.empty())
            return error(decoded.error, pos_ + decoded.errorAt);
        pos_ += decoded.used;
        resource.value = std::move(decoded.picture);
        return std::nullopt;
    }
    auto line = requireLine("the " + std::string(word) + " value");
    if (!line)
        return line.error();
    auto bad = [&] {
        return error("malformed " + std::string(word) + " value \"" + std::string(*line) + "\"");
    };
    switch (resource.type) {
        case ValueType::String:
        case ValueType::Font:
            resource.value = std::string(*line);
            return std::nullopt;
        case ValueType::Multi: {
            auto count = parseUnsigned(*line, std::numeric_limits<uint32_t>::max());
            if (!count)
                return error("malformed byte count \"" + std::string(*line) + "\"");
            if (*count > text_.size() - pos_)
                return error("text of " + std::to_string(*count) +
                                 " bytes runs past the end of the module text (" +
                                 std::to_string(text_.size() - pos_) + " bytes left)",
                             pos_);
            const char* start = reinterpret_cast<const char*>(text_.data()) + pos_;
            std::string value(start, std::size_t(*count));
            for (char c : value)
                line_ += c == '\n';
            pos_ += std::size_t(*count);
            resource.value = std::move(value);
            return std::nullopt;
        }
        case ValueType::Pixmap:
            break;
        default: {
            auto value = parseValueLine(resource.type, *line);
            if (!value)
                return bad();
            resource.value = std::move(*value);
            return std::nullopt;
        }
    }
    return bad();
}

}  // namespace

Result<Module> readModuleText(std::span<const uint8_t> text, std::string_view fileName,
                              std::size_t baseOffset) {
    return ModuleReader(text, fileName, baseOffset).read();
}

}  // namespace photon::db
