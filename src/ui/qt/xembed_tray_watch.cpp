#include "ui/qt/xembed_tray_watch.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <string>

#include "support/log.h"

namespace vigilo {

namespace {

Logger log_{"Tray"};

template <class Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// Qt's own connection and the screen $DISPLAY names (":0.1" is screen 1),
// whose tray is the one the icon goes to.
struct X11Screen {
    xcb_connection_t* connection = nullptr;
    int number = 0;
    xcb_window_t root = XCB_WINDOW_NONE;
};

X11Screen x11Screen() {
    if (!qGuiApp || QGuiApplication::platformName() != QStringLiteral("xcb")) return {};
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    X11Screen screen{.connection = x11 ? x11->connection() : nullptr};
    if (!screen.connection) return {};
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen.number) == 0) screen.number = 0;
    std::free(host);
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(screen.connection));
    for (int i = 0; roots.rem > 0 && i < screen.number; ++i) xcb_screen_next(&roots);
    if (roots.rem <= 0) return {};
    screen.root = roots.data->root;
    return screen;
}

xcb_atom_t atom(xcb_connection_t* connection, const std::string& name) {
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string selectionName(const X11Screen& screen) { return "_NET_SYSTEM_TRAY_S" + std::to_string(screen.number); }

// Adds StructureNotify to what this client already hears on the root
// window: Qt chose the rest of that mask, and replacing it would deafen Qt.
bool listenOnRoot(const X11Screen& screen) {
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(screen.connection, xcb_get_window_attributes(screen.connection, screen.root),
                                        nullptr),
        &std::free);
    if (!attributes) return false;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    if (mask != attributes->your_event_mask) {
        xcb_change_window_attributes(screen.connection, screen.root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(screen.connection);
    }
    return true;
}

}  // namespace

std::unique_ptr<XEmbedTrayWatch> XEmbedTrayWatch::make(std::function<void()> appeared) {
    const X11Screen screen = x11Screen();
    if (!screen.connection) return nullptr;
    const xcb_atom_t manager = atom(screen.connection, "MANAGER");
    const xcb_atom_t selection = atom(screen.connection, selectionName(screen));
    if (manager == XCB_ATOM_NONE || selection == XCB_ATOM_NONE || !listenOnRoot(screen)) {
        log_.error("Cannot listen for an X11 system tray; one that comes later gets no icon");
        return nullptr;
    }
    std::unique_ptr<XEmbedTrayWatch> watch(new XEmbedTrayWatch(std::move(appeared), manager, selection));
    qGuiApp->installNativeEventFilter(watch.get());  // removed by the filter's destructor
    return watch;
}

XEmbedTrayWatch::XEmbedTrayWatch(std::function<void()> appeared, xcb_atom_t manager, xcb_atom_t selection)
    : appeared_(std::move(appeared)), manager_(manager), selection_(selection) {}

// Qt handles the message as well: this only listens.
bool XEmbedTrayWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != QByteArrayLiteral("xcb_generic_event_t")) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->type == manager_ && client->format == 32 && client->data.data32[1] == selection_) {
        log_.info("An X11 system tray appeared");
        appeared_();
    }
    return false;
}

bool xembedTrayPresent() {
    const X11Screen screen = x11Screen();
    if (!screen.connection) return false;
    const xcb_atom_t selection = atom(screen.connection, selectionName(screen));
    if (selection == XCB_ATOM_NONE) return false;
    const auto question = xcb_get_selection_owner(screen.connection, selection);
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(screen.connection, question, nullptr), &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace vigilo
