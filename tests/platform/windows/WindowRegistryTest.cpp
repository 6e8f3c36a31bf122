// Window handles: issued once per window, resolved back while it lives, null after,
// never given again to a later window.
#include "platform/WindowRegistry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <vector>

namespace {

struct EndCase
{
    const char* name;
    // Ends `window` (made as a child of `parent`), however this row does it.
    std::function<void(QWidget* window, std::unique_ptr<QWidget>& parent)> end;
};

const EndCase kEndCases[] = {
    {"deleted", [](QWidget* w, std::unique_ptr<QWidget>&) { delete w; }},
    {"deleted with its parent", [](QWidget*, std::unique_ptr<QWidget>& p) { p.reset(); }},
    {"deleted later",
     [](QWidget* w, std::unique_ptr<QWidget>&) {
         w->deleteLater();
         QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
     }},
    {"retired, then deleted",
     [](QWidget* w, std::unique_ptr<QWidget>&) {
         RetireWindowHandle(HandleOfWindow(w));
         EXPECT_EQ(WindowOfHandle(HandleOfWindow(w)), w) << "a retired window gets a new handle";
         delete w;
     }},
};

TEST(WindowRegistry, AnEndedWindowsHandleResolvesToNullAndIsNeverReissued)
{
    for (const EndCase& c : kEndCases) {
        SCOPED_TRACE(c.name);
        auto parent = std::make_unique<QWidget>();
        auto* window = new QWidget(parent.get());
        const HWND hwnd = HandleOfWindow(window);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(HandleOfWindow(window), hwnd) << "one handle for the window's life";
        EXPECT_EQ(WindowOfHandle(hwnd), window);

        c.end(window, parent);
        EXPECT_EQ(WindowOfHandle(hwnd), nullptr);
        EXPECT_EQ(EnableWindow(hwnd, FALSE), FALSE);
        EXPECT_EQ(MoveWindow(hwnd, 0, 0, 10, 10, TRUE), FALSE);

        // New windows of the same size often land on the freed address; none of them
        // may answer to the old handle.
        std::set<HWND> issued{hwnd};
        std::vector<std::unique_ptr<QWidget>> later;
        for (int i = 0; i < 32; ++i) {
            later.push_back(std::make_unique<QWidget>());
            const HWND fresh = HandleOfWindow(later.back().get());
            EXPECT_TRUE(issued.insert(fresh).second) << "handle given twice, window " << i;
            EXPECT_EQ(WindowOfHandle(fresh), later.back().get());
        }
        EXPECT_EQ(WindowOfHandle(hwnd), nullptr);
    }
}

TEST(WindowRegistry, ValuesNeverIssuedResolveToNothing)
{
    QWidget window;
    const HWND live = HandleOfWindow(&window);
    EXPECT_EQ(HandleOfWindow(nullptr), nullptr);
    EXPECT_EQ(WindowOfHandle(nullptr), nullptr);
    EXPECT_EQ(WindowOfHandle(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(live) + 1000)),
              nullptr);
    EXPECT_EQ(WindowOfHandle(reinterpret_cast<HWND>(&window)), nullptr)
        << "a window's address is not its handle";
}

TEST(WindowRegistry, CallsThroughAHandleReachTheWindow)
{
    QWidget parent;
    auto* child = new QWidget(&parent);
    const HWND hwnd = HandleOfWindow(child);

    EXPECT_EQ(EnableWindow(hwnd, FALSE), FALSE) << "was enabled";
    EXPECT_FALSE(child->isEnabled());
    EXPECT_EQ(EnableWindow(hwnd, TRUE), TRUE) << "was disabled";
    EXPECT_TRUE(child->isEnabled());

    struct Move
    {
        const char* name;
        int x, y, width, height;
        BOOL result;
        QRect geometry;
    };
    const Move moves[] = {
        {"size and place", 3, 4, 160, 120, TRUE, QRect(3, 4, 160, 120)},
        {"empty", 0, 0, 0, 0, TRUE, QRect(0, 0, 0, 0)},
        {"negative width refused", 1, 1, -5, 10, FALSE, QRect(0, 0, 0, 0)},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(MoveWindow(hwnd, m.x, m.y, m.width, m.height, TRUE), m.result);
        EXPECT_EQ(child->geometry(), m.geometry);
    }
}

} // namespace
