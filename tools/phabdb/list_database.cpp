#include "list_database.h"

#include "photon/db/value_text.h"

#include <cstdio>

namespace phabdb {
namespace {

using namespace photon::db;

std::string format(const char* pattern, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

std::string describePicture(const Picture& p) {
    if (p.imageType == kImageDirect24)
        return format(" picture %ux%u direct", p.width, p.height);
    std::string text = format(" picture %ux%u palette %zu", p.width, p.height, p.palette.size());
    if (p.transparentIndex)
        text += format(" transparent 0x%x", unsigned(*p.transparentIndex));
    return text;
}

// One line of the tree: index, class, name, then where it sits and what it shows.
std::string describeWidget(const Widget& w) {
    auto index = w.widgetIndex();
    std::string line = std::string(2 * w.level, ' ') +
                       (index ? format("[%u]", *index) : std::string("[-]")) + " " + w.className +
                       " " + w.name;
    if (const Resource* r = w.find(1007); r && r->pos())
        line += format(" at %d,%d", r->pos()->x, r->pos()->y);
    if (const Resource* r = w.find(1005); r && r->dim())
        line += format(" size %dx%d", r->dim()->width, r->dim()->height);
    if (const Resource* r = w.find(kResourceLabelPicture); r && r->picture())
        line += describePicture(*r->picture());
    if (const Resource* r = w.find(3011);
        r && r->text() && r->text()->find('\n') == std::string::npos)
        line += " text \"" + *r->text() + "\"";
    return line + "\n";
}

}  // namespace

std::string listDatabase(const Database& database) {
    std::string out = format("%zu modules\n", database.modules.size());
    for (const Module& m : database.modules)
        out += format("  %-14s offset %8u  size %8u  time %u (%s)\n", m.fileName.c_str(), m.offset,
                      m.size, m.timeStamp, utcTimeText(m.timeStamp).c_str());
    for (const Module& m : database.modules) {
        out += "\n" + m.fileName + format(": %zu widgets\n", m.widgets.size());
        for (const Widget& w : m.widgets)
            out += describeWidget(w);
    }
    return out;
}

}  // namespace phabdb
