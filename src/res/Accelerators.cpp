// Accelerator table 128: Ctrl+T switches the still display. Both languages share it.
#include "platform/framework/AcceleratorTemplate.h"
#include "res/ResourceIds.h"

namespace vexol::res {
namespace {

const AcceleratorEntry kMainAccelerators[] = {
    {kAccelControl, 'T', ID_DISPLAY_STILL},
};

} // namespace

std::span<const AcceleratorEntry> FindAcceleratorTable(UINT id)
{
    if (id == IDR_MAINFRAME) {
        return kMainAccelerators;
    }
    return {};
}

} // namespace vexol::res
