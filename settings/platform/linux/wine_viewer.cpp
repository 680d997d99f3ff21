#include "platform/linux/wine_viewer.h"

#include "platform/platform.h"
#include "platform/registry_text.h"

#include <QDir>
#include <QFile>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

QString WineViewerProbe::winePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    return prefix.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : prefix;
}

QString WineViewerProbe::languageValue() const
{
    QFile file(winePrefix() + QStringLiteral("/system.reg"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QList<RegistryKey> keys = ParseRegistryText(file.readAll());
    // A 32-bit viewer in a 64-bit prefix writes through the WOW64 view.
    for (const char *path : {"Software\\KESTRAVON", "Software\\Wow6432Node\\KESTRAVON"}) {
        const RegistryKey *key = FindRegistryKey(keys, QString::fromLatin1(path));
        const RegistryValue *value = key ? key->value(QStringLiteral("LANGUAGE")) : nullptr;
        if (!value)
            continue;
        // The tool reads it into 260 bytes; a longer or non-text value reads as nothing.
        if (value->type != RegistryValue::String || (value->text.size() + 1) * 2 > 260)
            return QString();
        return value->text;
    }
    return QString();
}

namespace {
xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return atom;
}

bool TitleIs(xcb_connection_t *c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type)
{
    xcb_get_property_reply_t *r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 256), nullptr);
    bool match = false;
    if (r) {
        const int len = xcb_get_property_value_length(r);
        match = len == int(std::strlen(kViewerWindowTitle)) &&
                std::memcmp(xcb_get_property_value(r), kViewerWindowTitle, size_t(len)) == 0;
        std::free(r);
    }
    return match;
}

std::vector<xcb_window_t> Children(xcb_connection_t *c, xcb_window_t w)
{
    std::vector<xcb_window_t> out;
    xcb_query_tree_reply_t *r = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    if (r) {
        const xcb_window_t *kids = xcb_query_tree_children(r);
        out.assign(kids, kids + xcb_query_tree_children_length(r));
        std::free(r);
    }
    return out;
}
} // namespace

bool WineViewerProbe::isRunning() const
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
    const auto titled = [&](xcb_window_t w) {
        return TitleIs(c, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY) ||
               (netName != XCB_ATOM_NONE && TitleIs(c, w, netName, XCB_GET_PROPERTY_TYPE_ANY));
    };
    bool found = false;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (xcb_screen_iterator_t it = screens; it.rem && !found; xcb_screen_next(&it)) {
        // Top-level windows are the root's children, or their children under a window
        // manager that puts a frame around each.
        for (xcb_window_t top : Children(c, it.data->root)) {
            if (titled(top)) {
                found = true;
                break;
            }
            for (xcb_window_t inner : Children(c, top)) {
                if (titled(inner)) {
                    found = true;
                    break;
                }
            }
            if (found)
                break;
        }
    }
    xcb_disconnect(c);
    return found;
}

const ViewerProbe &platform::Viewer()
{
    static const WineViewerProbe wine;
    return wine;
}
