
#include "platform/WindowRegistry.h"
#include "platform/ThreadAnnotations.h"

#include <QMainWindow>
#include <QObject>
#include <QWidget>
#include <cstdint>
#include <unordered_map>

namespace {

struct Registry
{
    vexol::platform::Mutex mutex; // guards byHandle, byWindow, next
    std::unordered_map<std::uintptr_t, QWidget*> byHandle GUARDED_BY(mutex);
    std::unordered_map<const QWidget*, std::uintptr_t> byWindow GUARDED_BY(mutex);
    std::uintptr_t next GUARDED_BY(mutex) = 1; // counts up; a number is never issued twice
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // lives to process exit, for late lookups
    return *registry;
}

std::uintptr_t NumberOf(HWND hwnd)
{
    return reinterpret_cast<std::uintptr_t>(hwnd);
}

void Retire(std::uintptr_t number)
{
    Registry& r = TheRegistry();
    vexol::platform::MutexLock lock(r.mutex);
    const auto it = r.byHandle.find(number);
    if (it != r.byHandle.end()) {
        r.byWindow.erase(it->second);
        r.byHandle.erase(it);
    }
}

} // namespace

HWND HandleOfWindow(QWidget* window)
{
    if (!window) {
        return nullptr;
    }
    Registry& r = TheRegistry();
    vexol::platform::MutexLock lock(r.mutex);
    const auto known = r.byWindow.find(window);
    if (known != r.byWindow.end()) {
        return reinterpret_cast<HWND>(known->second);
    }
    const std::uintptr_t number = r.next++;
    r.byHandle.emplace(number, window);
    r.byWindow.emplace(window, number);
    // Destruction retires the number; the window's address may then go to a new window,
    // which gets a number of its own.
    QObject::connect(window, &QObject::destroyed, [number] { Retire(number); });
    return reinterpret_cast<HWND>(number);
}

QWidget* WindowOfHandle(HWND hwnd)
{
    if (!hwnd) {
        return nullptr;
    }
    Registry& r = TheRegistry();
    vexol::platform::MutexLock lock(r.mutex);
    const auto it = r.byHandle.find(NumberOf(hwnd));
    return it == r.byHandle.end() ? nullptr : it->second;
}

void RetireWindowHandle(HWND hwnd)
{
    if (hwnd) {
        Retire(NumberOf(hwnd));
    }
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    QWidget* window = WindowOfHandle(hwnd);
    if (!window) {
        return FALSE;
    }
    const BOOL wasDisabled = window->isEnabled() ? FALSE : TRUE;
    window->setEnabled(enable != FALSE);
    return wasDisabled;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    const QWidget* window = WindowOfHandle(hwnd);
    if (!window || !point) {
        return FALSE;
    }
    // The client area lies inside the window's own frame (contents margins) and, for a
    // main window, below its menu bar.
    QPoint origin = window->contentsRect().topLeft();
    if (const auto* frame = qobject_cast<const QMainWindow*>(window)) {
        const QWidget* menu = frame->menuWidget();
        if (menu && menu->isVisible()) {
            origin.setY(menu->geometry().bottom() + 1);
        }
    }
    const QPoint screen = window->mapToGlobal(origin + QPoint(point->x, point->y));
    *point = POINT{screen.x(), screen.y()};
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    QWidget* window = WindowOfHandle(hwnd);
    if (!window || width < 0 || height < 0) {
        return FALSE;
    }
    window->setGeometry(x, y, width, height);
    if (repaint) {
        window->update();
    }
    return TRUE;
}
