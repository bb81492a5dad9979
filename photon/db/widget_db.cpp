// The parts of the model that are not reading: names of type words, lookups, pixel conversion.
#include "photon/db/widget_db.h"

#include <array>
#include <cstring>

namespace photon::db {
namespace {

constexpr std::array<std::pair<ValueType, std::string_view>, 10> kTypeWords = {{
    {ValueType::Dim, "dim"},
    {ValueType::Pos, "pos"},
    {ValueType::Crgb, "crgb"},
    {ValueType::Short, "short"},
    {ValueType::Flag, "flag"},
    {ValueType::String, "string"},
    {ValueType::Font, "font"},
    {ValueType::Data, "data"},
    {ValueType::Multi, "multi"},
    {ValueType::Pixmap, "pixmap"},
}};

}  // namespace

std::string Error::message() const {
    std::string place = where;
    if (offset)
        place += (place.empty() ? "byte " : " (byte ") + std::to_string(*offset) +
                 (place.empty() ? "" : ")");
    return place.empty() ? what : place + ": " + what;
}

std::string_view typeWord(ValueType type) {
    for (const auto& [candidate, word] : kTypeWords)
        if (candidate == type)
            return word;
    return "?";
}

std::optional<ValueType> valueTypeFromWord(std::string_view word) {
    for (const auto& [type, candidate] : kTypeWords)
        if (candidate == word)
            return type;
    return std::nullopt;
}

uint32_t bytesPerRowFor(uint32_t width, uint32_t bytesPerPixel) {
    return (width * bytesPerPixel + 7) / 8 * 8;
}

std::vector<uint8_t> pictureToRgba(const Picture& picture) {
    std::vector<uint8_t> rgba(std::size_t(picture.width) * picture.height * 4);
    uint8_t* out = rgba.data();
    if (picture.imageType == kImageDirect24) {
        for (uint32_t y = 0; y < picture.height; ++y) {
            auto row = picture.row(y);
            for (std::size_t x = 0; x + 2 < row.size(); x += 3, out += 4) {
                out[0] = row[x + 2];
                out[1] = row[x + 1];
                out[2] = row[x];
                out[3] = 255;
            }
        }
        return rgba;
    }
    // One lookup per pixel: every index maps to its four output bytes (black for an index past
    // the palette, which a checked picture never has).
    std::array<std::array<uint8_t, 4>, 256> lookup{};
    for (std::size_t i = 0; i < lookup.size(); ++i) {
        uint32_t colour = i < picture.palette.size() ? picture.palette[i] : 0;
        bool transparent = picture.transparentIndex == i;
        lookup[i] = {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour),
                     uint8_t(transparent ? 0 : 255)};
    }
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint8_t index : picture.row(y)) {
            std::memcpy(out, lookup[index].data(), 4);
            out += 4;
        }
    }
    return rgba;
}

const Resource* Widget::find(uint32_t number) const {
    for (const Resource& resource : resources)
        if (resource.number == number)
            return &resource;
    return nullptr;
}

std::optional<uint32_t> Widget::widgetIndex() const {
    const Resource* resource = find(kResourceWidgetIndex);
    if (resource == nullptr || resource->index() == nullptr)
        return std::nullopt;
    return *resource->index();
}

const Widget* Module::findWidget(std::string_view name) const {
    for (const Widget& widget : widgets)
        if (widget.name == name)
            return &widget;
    return nullptr;
}

const Picture* Module::findPicture(std::string_view widgetName) const {
    const Widget* widget = findWidget(widgetName);
    if (widget == nullptr)
        return nullptr;
    const Resource* resource = widget->find(kResourceLabelPicture);
    return resource == nullptr ? nullptr : resource->picture();
}

std::optional<std::size_t> Module::parentOf(std::size_t i) const {
    if (i >= widgets.size())
        return std::nullopt;
    for (std::size_t j = i; j-- > 0;)
        if (widgets[j].level + 1 == widgets[i].level)
            return j;
    return std::nullopt;
}

const Module* Database::findModule(std::string_view fileName) const {
    for (const Module& module : modules)
        if (module.fileName == fileName)
            return &module;
    return nullptr;
}

}  // namespace photon::db
