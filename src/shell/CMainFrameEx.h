// The base of the main frame that will carry the skinned window look; for now it is
// the framework's frame window unchanged.
#pragma once

#include "platform/framework/FrameWnd.h"

class CMainFrameEx : public CFrameWnd
{
public:
    CMainFrameEx() = default;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCMainFrameEx;
};
