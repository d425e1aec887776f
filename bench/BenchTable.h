// The benchmarks' table: figures against their baselines and targets.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// Resident set of a process ("self" for this one) in MB, from /proc.
inline double ResidentMb(const QString& pid = QStringLiteral("self"))
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// One row per figure: Varrow's min and median, the baseline's, and the target.
class Table {
public:
    // The target is a ratio of medians against the baseline.
    void ratio(const std::string& name, std::vector<double> values, std::vector<double> baseline, double target)
    {
        add(name, values, baseline, target, true);
    }
    // The target is Varrow's own median; the baseline is shown for its share.
    void absolute(const std::string& name, std::vector<double> values, std::vector<double> baseline, double target)
    {
        add(name, values, baseline, target, false);
    }
    void print() const
    {
        std::printf("%-46s %5s %10s %10s %10s %10s %8s %9s %4s\n", "figure", "runs", "min", "median", "base min",
                    "base med", "ratio", "target", "met");
        for (const Row& r : rows_)
            std::printf("%-46s %5d %10.3f %10.3f %10.3f %10.3f %8.2f %9s %4s\n", r.name.c_str(), r.runs, r.min, r.median,
                        r.baseMin, r.baseMedian, r.ratio, r.target.c_str(), r.met ? "yes" : "NO");
        std::fflush(stdout);
    }
    bool allMet() const
    {
        return std::all_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.met; });
    }

    static double median(std::vector<double> v)
    {
        if (v.empty())
            return -1;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    static double min(const std::vector<double>& v) { return v.empty() ? -1 : *std::min_element(v.begin(), v.end()); }

private:
    struct Row {
        std::string name;
        int runs;
        double min, median, baseMin, baseMedian, ratio;
        std::string target;
        bool met;
    };
    void add(const std::string& name, const std::vector<double>& v, const std::vector<double>& b, double target,
             bool isRatio)
    {
        Row r{name, int(v.size()), min(v), median(v), min(b), median(b), 0, {}, false};
        r.ratio = r.baseMedian > 0 ? r.median / r.baseMedian : 0;
        char t[32];
        std::snprintf(t, sizeof t, isRatio ? "<= %.2fx" : "<= %.2f", target);
        r.target = t;
        r.met = !v.empty() && (isRatio ? r.ratio <= target : r.median <= target);
        rows_.push_back(r);
    }
    std::vector<Row> rows_;
};

} // namespace bench
