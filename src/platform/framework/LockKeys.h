// The state of the keyboard's lock keys, where the platform tells it. Qt has no
// portable query; under X11 the keyboard extension's named indicators ("Caps Lock",
// "Num Lock", "Scroll Lock", "Kana") are read. Elsewhere (Wayland, offscreen) and for
// an indicator the keymap lacks, the state is unknown.
#pragma once

#include <functional>
#include <optional>

namespace vexol::platform::framework {

enum class LockKey { Caps, Num, Scroll, Kana };

// true: on, false: off, nullopt: the platform does not tell. UI thread only.
std::optional<bool> ReadLockKey(LockKey key);

// Replaces the platform's reader (tests); an empty reader restores it.
using LockKeyReader = std::function<std::optional<bool>(LockKey)>;
void SetLockKeyReader(LockKeyReader reader);

} // namespace vexol::platform::framework
