// Times an operation and its baseline side by side: rounds alternate between
// the two, so that both meet the same machine, and each round's time per
// call is kept for the median and the spread.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

struct Timing
{
    double median = 0; // microseconds per call
    double p10 = 0;
    double p90 = 0;
};

inline Timing Summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1))]; };
    return Timing{at(0.5), at(0.1), at(0.9)};
}

struct Comparison
{
    Timing operation;
    Timing baseline;
    double Ratio() const { return operation.median / baseline.median; }
};

class SideBySide
{
public:
    SideBySide(int rounds, int callsPerRound) : rounds_(rounds), calls_(callsPerRound)
    {
        QueryPerformanceFrequency(&frequency_);
    }

    Comparison Run(const std::function<void()>& operation, const std::function<void()>& baseline) const
    {
        std::vector<double> a, b;
        for (int i = 0; i < 3; ++i) { // warm both up
            operation();
            baseline();
        }
        for (int round = 0; round < rounds_; ++round) {
            a.push_back(Time(operation));
            b.push_back(Time(baseline));
        }
        return Comparison{Summarise(a), Summarise(b)};
    }

    Timing Once(const std::function<void()>& operation) const
    {
        std::vector<double> a;
        for (int round = 0; round < rounds_; ++round)
            a.push_back(Time(operation));
        return Summarise(a);
    }

private:
    double Time(const std::function<void()>& f) const
    {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < calls_; ++i)
            f();
        QueryPerformanceCounter(&end);
        return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency_.QuadPart) /
               calls_;
    }

    int rounds_;
    int calls_;
    LARGE_INTEGER frequency_;
};
