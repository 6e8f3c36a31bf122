// Command targets: objects that handle command IDs through a handler map, and the
// update object through which a command's update rule sets the state of whatever
// shows the command (a menu item, a status-bar pane, or the test before dispatch).
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/RuntimeClass.h"

#include <functional>
#include <vector>

class CCmdTarget;

// Passed to an update rule. Each user interface element overrides what it can show;
// the base class only remembers the ID and the enabled state.
class CCmdUI
{
public:
    explicit CCmdUI(UINT id) : m_nID(id) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL on = TRUE) { m_bEnabled = on != FALSE; }
    // 0 unchecked, 1 checked, 2 indeterminate.
    virtual void SetCheck(int check = 1) { (void)check; }
    // A radio mark instead of a check mark.
    virtual void SetRadio(BOOL on = TRUE) { (void)on; }
    virtual void SetText(const char* text) { (void)text; }

    // Runs the update rule for m_nID along `target`'s route. False when no rule ran.
    BOOL DoUpdate(CCmdTarget* target);

    const UINT m_nID;
    bool m_bEnabled = true; // the state after the last Enable call (initially on)
};

class CCmdTarget : public CObject
{
public:
    using CommandHandler = std::function<void()>;
    using RangeHandler = std::function<void(UINT id)>;
    using UpdateRule = std::function<void(CCmdUI* cmdUI)>;

    CCmdTarget() = default;
    ~CCmdTarget() override = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Routes command `id`: with `cmdUI` null the command's handler runs, otherwise its
    // update rule. Returns TRUE when a handler (or rule) ran. The default looks only
    // in this object's map; targets that pass commands on override it.
    virtual BOOL OnCmdMsg(UINT id, CCmdUI* cmdUI);

protected:
    // Handler map. The first entry that covers an ID wins.
    void MapCommand(UINT id, CommandHandler handler);
    void MapCommandRange(UINT first, UINT last, RangeHandler handler);
    void MapUpdateRule(UINT id, UpdateRule rule);
    void MapUpdateRuleRange(UINT first, UINT last, UpdateRule rule);

    template <class Target> void MapCommand(UINT id, void (Target::*handler)())
    {
        MapCommand(id, [this, handler] { (static_cast<Target*>(this)->*handler)(); });
    }
    template <class Target>
    void MapCommandRange(UINT first, UINT last, void (Target::*handler)(UINT))
    {
        MapCommandRange(first, last,
                        [this, handler](UINT id) { (static_cast<Target*>(this)->*handler)(id); });
    }
    template <class Target> void MapUpdateRule(UINT id, void (Target::*rule)(CCmdUI*))
    {
        MapUpdateRule(id, [this, rule](CCmdUI* ui) { (static_cast<Target*>(this)->*rule)(ui); });
    }
    template <class Target>
    void MapUpdateRuleRange(UINT first, UINT last, void (Target::*rule)(CCmdUI*))
    {
        MapUpdateRuleRange(first, last,
                           [this, rule](CCmdUI* ui) { (static_cast<Target*>(this)->*rule)(ui); });
    }

    // Looks in this object's own map only.
    BOOL DispatchToOwnMap(UINT id, CCmdUI* cmdUI);

private:
    struct CommandEntry
    {
        UINT first;
        UINT last;
        RangeHandler handler;
    };
    struct UpdateEntry
    {
        UINT first;
        UINT last;
        UpdateRule rule;
    };
    std::vector<CommandEntry> m_commands;
    std::vector<UpdateEntry> m_updateRules;
};
