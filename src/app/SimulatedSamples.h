#pragma once

// What the simulated world shows beside its display and sound outputs, so that every settings
// tab has something to show in demos and screenshots: three windows of running applications
// and a registration for one of them, a mouse that answers the HID utility, a conflicting
// mouse utility in the process list, the Dock's earlier setting still on, and sound priorities
// that rank a headset no longer connected. Nothing here reaches a real device or file.

class MemoryDefaultsStore;
class ScriptedSystemCommands;
class SimDisplays;
class SimWindowAccess;

namespace SimulatedSamples {

void add(const SimDisplays& displays, SimWindowAccess& windows, MemoryDefaultsStore& defaults,
    ScriptedSystemCommands& commands);

} // namespace SimulatedSamples
