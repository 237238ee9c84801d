#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Median wall time in milliseconds of `runs` runs of the work.
inline double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
