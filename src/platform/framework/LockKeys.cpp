// Lock-key states from the X server's keyboard extension. libX11 is the library that
// Qt's X11 platform plugin already has loaded; its entry points are looked up at run
// time so that the program neither links nor needs it on other platforms.
#include "platform/framework/LockKeys.h"

#include <QGuiApplication>
#include <dlfcn.h>

namespace vexol::platform::framework {
namespace {

LockKeyReader g_reader; // test override; UI thread only

struct XDisplay;
using XAtom = unsigned long;
using InternAtomFn = XAtom (*)(XDisplay*, const char*, int);
using GetNamedIndicatorFn = int (*)(XDisplay*, XAtom, int*, int*, void*, int*);

struct X11Indicators
{
    XDisplay* display = nullptr;
    InternAtomFn internAtom = nullptr;
    GetNamedIndicatorFn getNamedIndicator = nullptr;
    XAtom atoms[4] = {};
};

// The X11 entry points and indicator names; null display when not on X11.
const X11Indicators& Indicators()
{
    static const X11Indicators indicators = [] {
        X11Indicators result;
#if QT_CONFIG(xcb)
        auto* app =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!app || !app->display()) {
            return result;
        }
        void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (!library) {
            library = dlopen("libX11.so.6", RTLD_LAZY);
        }
        if (!library) {
            return result;
        }
        result.internAtom = reinterpret_cast<InternAtomFn>(dlsym(library, "XInternAtom"));
        result.getNamedIndicator =
            reinterpret_cast<GetNamedIndicatorFn>(dlsym(library, "XkbGetNamedIndicator"));
        if (!result.internAtom || !result.getNamedIndicator) {
            return result;
        }
        result.display = reinterpret_cast<XDisplay*>(app->display());
        const char* const names[4] = {"Caps Lock", "Num Lock", "Scroll Lock", "Kana"};
        for (int i = 0; i < 4; ++i) {
            result.atoms[i] = result.internAtom(result.display, names[i], 0);
        }
#endif
        return result;
    }();
    return indicators;
}

std::optional<bool> ReadFromPlatform(LockKey key)
{
    const X11Indicators& x11 = Indicators();
    const XAtom atom = x11.atoms[int(key)];
    if (!x11.display || atom == 0) {
        return std::nullopt;
    }
    int index = 0;
    int state = 0;
    if (!x11.getNamedIndicator(x11.display, atom, &index, &state, nullptr, nullptr)) {
        return std::nullopt; // the keymap has no such indicator
    }
    return state != 0;
}

} // namespace

std::optional<bool> ReadLockKey(LockKey key)
{
    if (g_reader) {
        return g_reader(key);
    }
    return ReadFromPlatform(key);
}

void SetLockKeyReader(LockKeyReader reader)
{
    g_reader = std::move(reader);
}

} // namespace vexol::platform::framework
