// Handler maps and the routing of one command or update request through them.
#include "platform/framework/CmdTarget.h"

BOOL CCmdUI::DoUpdate(CCmdTarget* target)
{
    return target ? target->OnCmdMsg(m_nID, this) : FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, CCmdUI* cmdUI)
{
    return DispatchToOwnMap(id, cmdUI);
}

void CCmdTarget::MapCommand(UINT id, CommandHandler handler)
{
    m_commands.push_back({id, id, [handler = std::move(handler)](UINT) { handler(); }});
}

void CCmdTarget::MapCommandRange(UINT first, UINT last, RangeHandler handler)
{
    m_commands.push_back({first, last, std::move(handler)});
}

void CCmdTarget::MapUpdateRule(UINT id, UpdateRule rule)
{
    m_updateRules.push_back({id, id, std::move(rule)});
}

void CCmdTarget::MapUpdateRuleRange(UINT first, UINT last, UpdateRule rule)
{
    m_updateRules.push_back({first, last, std::move(rule)});
}

BOOL CCmdTarget::DispatchToOwnMap(UINT id, CCmdUI* cmdUI)
{
    // Handlers are copied before they run: a handler may add entries to the map.
    if (cmdUI) {
        for (const UpdateEntry& entry : m_updateRules) {
            if (id >= entry.first && id <= entry.last) {
                const UpdateRule rule = entry.rule;
                rule(cmdUI);
                return TRUE;
            }
        }
        return FALSE;
    }
    for (const CommandEntry& entry : m_commands) {
        if (id >= entry.first && id <= entry.last) {
            const RangeHandler handler = entry.handler;
            handler(id);
            return TRUE;
        }
    }
    return FALSE;
}
