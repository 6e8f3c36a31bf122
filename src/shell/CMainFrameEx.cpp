#include "shell/CMainFrameEx.h"

const CRuntimeClass CMainFrameEx::classCMainFrameEx{"CMainFrameEx", 0, nullptr};

const CRuntimeClass* CMainFrameEx::GetRuntimeClass() const
{
    return &classCMainFrameEx;
}
