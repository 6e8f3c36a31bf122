// Accelerator tables: key combinations that send commands to the main window.
#pragma once

#include "platform/WinTypes.h"

#include <span>

namespace vexol::res {

// Modifier flags of an accelerator entry.
inline constexpr BYTE kAccelShift = 0x04;
inline constexpr BYTE kAccelControl = 0x08;
inline constexpr BYTE kAccelAlt = 0x10;

struct AcceleratorEntry
{
    BYTE modifiers; // kAccel* flags
    WORD key;       // 'A'-'Z', '0'-'9'
    UINT command;
};

// Accelerator table `id` (the same for every language); empty when there is none.
std::span<const AcceleratorEntry> FindAcceleratorTable(UINT id);

} // namespace vexol::res
