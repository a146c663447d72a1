// A console reporter that also prints, at the end, the median time of each
// measured benchmark over the median of its baseline from the same run, in
// real and in CPU time.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zandrel::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Pair {
        std::string measured, baseline, note;
    };

    explicit RatioReporter(std::vector<Pair> pairs)
        : ConsoleReporter(OO_Tabular), pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median")
                times_[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                      run.GetAdjustedCPUTime()};
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nMedian time over the baseline's:\n");
        for (const auto& pair : pairs_) {
            auto a = times_.find(pair.measured), b = times_.find(pair.baseline);
            if (a == times_.end() || b == times_.end()) continue;
            std::printf("%-28s / %-28s = %.3f real, %.3f CPU  %s\n", pair.measured.c_str(),
                        pair.baseline.c_str(), a->second.first / b->second.first,
                        a->second.second / b->second.second, pair.note.c_str());
        }
    }

private:
    std::vector<Pair> pairs_;
    std::map<std::string, std::pair<double, double>> times_; // real, CPU
};

} // namespace zandrel::bench
