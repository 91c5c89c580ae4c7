#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Median wall time of a few runs, in milliseconds; before, if given, runs untimed ahead of each.
inline double medianMs(const std::function<void()>& run, int repeats = 7, const std::function<void()>& before = {})
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        if (before)
            before();
        QElapsedTimer t;
        t.start();
        run();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
