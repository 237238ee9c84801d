#pragma once

#include <functional>

// Whether the machine has a network connection: an interface other than
// loopback is up and carries an address. One backend file per platform.
namespace NetworkState {

bool connected();

// Replaces the system's answer (tests); an empty probe restores it.
void setProbe(std::function<bool()> probe);

} // namespace NetworkState
