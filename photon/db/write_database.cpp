// Writing module texts and whole databases.
#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "photon/db/byte_order.h"
#include "photon/db/directory.h"
#include "photon/db/picture_block.h"
#include "photon/db/widget_db_write.h"

namespace photon::db {
namespace {

void appendLine(std::vector<uint8_t>& out, std::string_view line) {
    out.insert(out.end(), line.begin(), line.end());
    out.push_back('\n');
}

bool isOneLine(std::string_view text) {
    return text.find('\n') == std::string_view::npos;
}

std::string shortHex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", value);
    return buffer;
}

// The encoded value, or the reason it cannot be stored.
std::string encodeValue(const Resource& r, std::vector<uint8_t>& out) {
    auto mismatch = [&] {
        return "value does not match type word \"" + std::string(typeWord(r.type)) + "\"";
    };
    switch (r.type) {
        case ValueType::Dim:
            if (!r.dim())
                return mismatch();
            appendLine(out, std::to_string(r.dim()->width) + "," + std::to_string(r.dim()->height));
            return {};
        case ValueType::Pos:
            if (!r.pos())
                return mismatch();
            appendLine(out, std::to_string(r.pos()->x) + "," + std::to_string(r.pos()->y));
            return {};
        case ValueType::Crgb: {
            if (!r.colour())
                return mismatch();
            const Colour& c = *r.colour();
            if (c.rgb > 0xFFFFFF && c.rgb != kTransparentColour)
                return "not a colour";
            if (c.plainZero && c.rgb != 0)
                return "bare \"0\" stands only for black";
            appendLine(out, c.plainZero ? "0" : shortHex(c.rgb));
            return {};
        }
        case ValueType::Short:
            if (!r.integer())
                return mismatch();
            if (*r.integer() < INT32_MIN || *r.integer() > int64_t(UINT32_MAX))
                return "short value outside 32 bits";
            appendLine(out, std::to_string(*r.integer()));
            return {};
        case ValueType::Flag:
            if (!r.flags())
                return mismatch();
            appendLine(out,
                       std::to_string(r.flags()->value) + "," + std::to_string(r.flags()->mask));
            return {};
        case ValueType::String:
        case ValueType::Font:
            if (!r.text())
                return mismatch();
            if (!isOneLine(*r.text()))
                return "line feed in a one-line value";
            appendLine(out, *r.text());
            return {};
        case ValueType::Data:
            if (!r.index())
                return mismatch();
            appendLine(out, std::to_string(*r.index()));
            return {};
        case ValueType::Multi:
            if (!r.text())
                return mismatch();
            if (r.text()->size() > UINT32_MAX)
                return "text too long";
            appendLine(out, std::to_string(r.text()->size()));
            out.insert(out.end(), r.text()->begin(), r.text()->end());
            return {};
        case ValueType::Pixmap: {
            if (!r.picture())
                return mismatch();
            if (std::string problem = pictureProblem(*r.picture()); !problem.empty())
                return problem;
            encodePictureBlock(*r.picture(), out);
            return {};
        }
    }
    return mismatch();
}

std::string widgetProblem(const Module& module, std::size_t i) {
    const Widget& w = module.widgets[i];
    if (w.className.empty() || !isOneLine(w.className))
        return "class name empty or multi-line";
    if (w.name.empty() || !isOneLine(w.name))
        return "widget name empty or multi-line";
    if (i == 0 && w.level != 1)
        return "the root must have level 1";
    if (i > 0 && (w.level < 2 || w.level > module.widgets[i - 1].level + 1))
        return "level " + std::to_string(w.level) + " is not between 2 and " +
               std::to_string(module.widgets[i - 1].level + 1);
    return {};
}

}  // namespace

Result<std::vector<uint8_t>> writeModuleText(const Module& module) {
    std::string where = "module \"" + module.fileName + "\"";
    if (module.widgets.empty())
        return Error{"module has no widgets", where, std::nullopt};
    std::vector<uint8_t> out;
    appendLine(out, kFormatLine);
    for (std::size_t i = 0; i < module.widgets.size(); ++i) {
        const Widget& w = module.widgets[i];
        std::string widgetWhere = where + ", widget \"" + w.name + "\"";
        if (std::string problem = widgetProblem(module, i); !problem.empty())
            return Error{problem, widgetWhere, std::nullopt};
        appendLine(out, w.className);
        appendLine(out, std::to_string(w.level));
        appendLine(out, w.name);
        std::unordered_set<uint32_t> seen;
        for (const Resource& r : w.resources) {
            std::string resourceWhere = widgetWhere + ", resource " + std::to_string(r.number);
            if (r.number == 0)
                return Error{"resource number 0", resourceWhere, std::nullopt};
            if (!seen.insert(r.number).second)
                return Error{"resource stored twice", resourceWhere, std::nullopt};
            appendLine(out, std::to_string(r.number));
            appendLine(out, typeWord(r.type));
            if (std::string problem = encodeValue(r, out); !problem.empty())
                return Error{problem, resourceWhere, std::nullopt};
        }
        appendLine(out, "0");
    }
    return out;
}

Result<std::vector<uint8_t>> writeDatabase(const Database& database) {
    std::vector<const Module*> order;
    for (const Module& module : database.modules)
        order.push_back(&module);
    std::sort(order.begin(), order.end(),
              [](const Module* a, const Module* b) { return a->fileName < b->fileName; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string& name = order[i]->fileName;
        if (name.empty() || name.size() >= kNameField || name.find('\0') != std::string::npos)
            return Error{"module file name must have 1 to 51 bytes and no NUL",
                         "module \"" + name + "\"", std::nullopt};
        if (i > 0 && order[i - 1]->fileName == name)
            return Error{"two modules of the same name", "module \"" + name + "\"", std::nullopt};
    }

    std::vector<uint8_t> out(kCountSize + order.size() * kEntrySize, 0);
    storeLe32(out.data(), uint32_t(order.size()));
    for (std::size_t i = 0; i < order.size(); ++i) {
        auto text = writeModuleText(*order[i]);
        if (!text)
            return text.error();
        out.resize(alignText(out.size()), 0);
        if (out.size() + text->size() + kTextEndSize > UINT32_MAX)
            return Error{"database exceeds 4 GiB", "module \"" + order[i]->fileName + "\"",
                         std::nullopt};
        uint8_t* entry = out.data() + kCountSize + i * kEntrySize;
        std::copy(order[i]->fileName.begin(), order[i]->fileName.end(), entry);
        storeLe32(entry + kEntryOffsetField, uint32_t(out.size()));
        storeLe32(entry + kEntrySizeField, uint32_t(text->size()));
        storeLe32(entry + kEntryTimeField, order[i]->timeStamp);
        out.insert(out.end(), text->begin(), text->end());
        out.insert(out.end(), kTextEnd, kTextEnd + kTextEndSize);
    }
    return out;
}

uint32_t contentTag(std::span<const uint8_t> bytes) {
    // FNV-1a: cheap, and equal data gives an equal tag, which is all a tag must do.
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    return hash == 0 ? 1 : hash;
}

uint32_t paletteTagFor(const std::vector<uint32_t>& palette) {
    std::vector<uint8_t> bytes;
    for (uint32_t colour : palette)
        appendLe32(bytes, colour);
    return contentTag(bytes);
}

void assignTags(Picture& picture) {
    picture.imageTag = contentTag(picture.pixels);
    picture.paletteTag = picture.palette.empty() ? 0 : paletteTagFor(picture.palette);
}

}  // namespace photon::db
