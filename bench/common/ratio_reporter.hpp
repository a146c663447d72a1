// A console reporter that keeps each benchmark's real and CPU time, the
// medians when it is repeated, so that a program can print ratios to its
// same-run baselines.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Called after the table, with this reporter, to print the ratios.
    using Summary = std::function<void(const RatioReporter&)>;

    explicit RatioReporter(Summary summary)
        : ConsoleReporter(OO_Tabular), summary_(std::move(summary)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            times_[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n");
        summary_(*this);
    }

    struct Times {
        double real = 0, cpu = 0; // in the benchmark's unit; 0 when it did not run
    };
    // The times of "function/args".
    Times Time(const std::string& name) const {
        auto found = times_.find(name);
        return found == times_.end() ? Times{} : found->second;
    }

    void PrintRatio(const std::string& measured, const std::string& baseline,
                    const char* note) const {
        Times a = Time(measured), b = Time(baseline);
        if (a.real > 0 && b.real > 0 && b.cpu > 0)
            std::printf("%-24s / %-24s = %.3f real, %.3f CPU  %s\n", measured.c_str(),
                        baseline.c_str(), a.real / b.real, a.cpu / b.cpu, note);
    }

private:
    Summary summary_;
    std::map<std::string, Times> times_;
};

// Runs the benchmarks chosen on the command line (after benchmark::Initialize)
// and prints the table, then the ratios that `summary` picks.
inline void RunBenchmarksWithRatios(RatioReporter::Summary summary) {
    RatioReporter reporter(std::move(summary));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
