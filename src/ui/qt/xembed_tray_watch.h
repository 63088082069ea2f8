#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <functional>
#include <memory>

namespace vigilo {

// Tells when an X11 system tray (XEmbed) takes the tray selection of this
// display's screen. Its new owner says so with a MANAGER client message to
// the root window, which reaches only the clients that listen there for
// StructureNotify; Qt looks for a tray only when an icon is shown, so a
// panel that comes later is told to the tray through this. Main thread only.
class XEmbedTrayWatch final : public QAbstractNativeEventFilter {
public:
    // Nothing off the xcb platform. `appeared` is called from Qt's event
    // dispatch: it should only schedule work.
    static std::unique_ptr<XEmbedTrayWatch> make(std::function<void()> appeared);

    XEmbedTrayWatch(const XEmbedTrayWatch&) = delete;
    XEmbedTrayWatch& operator=(const XEmbedTrayWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    XEmbedTrayWatch(std::function<void()> appeared, xcb_atom_t manager, xcb_atom_t selection);

    std::function<void()> appeared_;
    xcb_atom_t manager_;
    xcb_atom_t selection_;
};

// Whether an X11 system tray has its selection owner on this display's screen.
bool xembedTrayPresent();

}  // namespace vigilo
