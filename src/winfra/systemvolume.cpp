#include "systemvolume.h"

#include <algorithm>
#include <cmath>

namespace {

// The volume of a whole percentage, in the server's units.
SystemVolume::Volume percent(int value)
{
    return SystemVolume::Volume(std::lround(double(value) * SystemVolume::kNormal / 100.0));
}

SystemVolume::Volume target(SystemVolume::Volume loudest, SystemVolume::Command command)
{
    // Steps go from the percentage the system shows, rounded: volumes set as
    // percentages land a unit off either way.
    const int shown = int(std::lround(double(loudest) * 100.0 / SystemVolume::kNormal));
    const int even = shown / 2 * 2;
    if (command == SystemVolume::VolumeUp) {
        // Up to the next even percentage, never past 100%, never down.
        const int next = std::min(even + 2, 100);
        return std::max(loudest, percent(next));
    }
    // Down to the next even percentage below, not under 0%.
    const int next = shown % 2 != 0 ? even : even - 2;
    return next <= 0 ? 0 : std::min(loudest, percent(next));
}

} // namespace

QList<SystemVolume::Volume> SystemVolume::stepped(const QList<Volume> &channels, Command command)
{
    if (channels.isEmpty() || command == VolumeMute)
        return channels;
    const Volume loudest = *std::max_element(channels.cbegin(), channels.cend());
    const Volume goal = target(loudest, command);
    QList<Volume> result;
    result.reserve(channels.size());
    for (Volume channel : channels) {
        if (loudest == 0)
            result.append(goal);
        else
            result.append(Volume(std::lround(double(channel) * goal / loudest)));
    }
    return result;
}
