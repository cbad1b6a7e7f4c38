#pragma once
// The monitor profile an X display publishes (_ICC_PROFILE on the root window of its first
// screen, as colour managers set it), handed to the core for the windows' photos.
#include <cstdint>
#include <vector>

// The profile bytes, empty when there is none or the display is not X11.
std::vector<uint8_t> ReadMonitorProfile();

// Reads the profile and makes the windows' colour-managed loads convert to it.
void UseMonitorProfile();
