// Test doubles for the framework: application, document, frame and view classes with
// their handler maps open to the test, and a fixture that creates all four from the
// main resource ID, in English.
#pragma once

#include "platform/framework/DocTemplate.h"
#include "platform/framework/Document.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/StatusBar.h"
#include "platform/framework/View.h"
#include "platform/framework/WinApp.h"
#include "res/ResourceIds.h"
#include "support/MessageBoxAnswers.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace vexol::test {

// Opens the handler map of a command target to the test.
template <class Base> class Mappable : public Base
{
public:
    using Base::Base;
    using Base::MapCommand;
    using Base::MapCommandRange;
    using Base::MapUpdateRule;
    using Base::MapUpdateRuleRange;
};

class TestApp : public Mappable<CWinApp>
{
};

class TestDocument : public Mappable<CDocument>
{
};

// The frame of the application: a status bar with the message pane and the four
// key indicators. `failCreation` makes the next frame's creation fail.
class TestFrame : public Mappable<CFrameWnd>
{
public:
    static inline bool failCreation = false;
    CStatusBar statusBar;

protected:
    int OnCreate(CCreateContext* context) override
    {
        if (CFrameWnd::OnCreate(context) == -1 || failCreation) {
            return -1;
        }
        static const UINT indicators[] = {ID_SEPARATOR, ID_INDICATOR_KANA, ID_INDICATOR_CAPS,
                                          ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
        if (!statusBar.Create(this) || !statusBar.SetIndicators(indicators, 5)) {
            return -1;
        }
        return 0;
    }
};

// Records its client sizes and initial updates.
class TestView : public Mappable<CScrollView>
{
public:
    std::vector<QSize> sizes;
    int initialUpdates = 0;

    void OnInitialUpdate() override { ++initialUpdates; }
    void OnSize(UINT type, int cx, int cy) override
    {
        CScrollView::OnSize(type, cx, cy);
        sizes.emplace_back(cx, cy);
    }
};

class FrameworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app = std::make_unique<TestApp>();
        app->AddDocTemplate(
            CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
        ASSERT_NE(app->GetDocTemplate()->OpenDocumentFile(nullptr, FALSE), nullptr);
        frame = static_cast<TestFrame*>(app->GetMainWnd());
        ASSERT_NE(frame, nullptr);
        document = static_cast<TestDocument*>(frame->GetActiveDocument());
        view = static_cast<TestView*>(frame->GetActiveView());
        ASSERT_NE(document, nullptr);
        ASSERT_NE(view, nullptr);
    }

    // Delivers the events posted so far, posted commands included.
    static void DeliverPostedEvents() { QCoreApplication::sendPostedEvents(); }

    std::string PaneText(int index) const { return frame->statusBar.GetPaneText(index); }

    ScopedLanguage language{res::Language::English};
    std::unique_ptr<TestApp> app;
    TestFrame* frame = nullptr;
    TestDocument* document = nullptr;
    TestView* view = nullptr;
};

} // namespace vexol::test
