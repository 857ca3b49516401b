// Side-by-side timing for the bench programs: every case of a curve point is
// run in rounds, the cases of one round one after another in an order that
// rotates from round to round, so that a busy machine weighs on all of them
// alike. Reported per case: the median and the range (min-max) of the
// rounds; per pair: the ratio of the medians and the range of the ratios
// taken within one round.
//
// Common options of the programs: --rounds N (default 5), --sizes 1,2,4 (the
// curve points to run, as multiples of the base size), --only TEXT[|TEXT...]
// (only the cases whose name holds one of the TEXTs, for profiling some of
// them).
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace sidebyside {

struct Options {
    int rounds = 5;
    std::vector<int> sizes{1, 2, 4};
    std::string only;
    std::vector<std::string> rest;  // what the program reads itself
};

inline Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc) {
            o.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--sizes" && i + 1 < argc) {
            o.sizes.clear();
            std::stringstream list(argv[++i]);
            std::string n;
            while (std::getline(list, n, ','))
                if (std::atoi(n.c_str()) > 0) o.sizes.push_back(std::atoi(n.c_str()));
        } else if (a == "--only" && i + 1 < argc) {
            o.only = argv[++i];
        } else {
            o.rest.push_back(a);
        }
    }
    return o;
}

// One thing to time: `run` does it once and returns the seconds that count
// (Seconds() times a whole call; a case that prepares something first times
// only what follows).
struct Case {
    std::string name;
    std::function<double()> run;
    std::vector<double> seconds;
    bool failed = false;  // a run returned a negative time: not run again
};

inline double Seconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs every case `rounds` times after one round that is not counted.
inline void Alternate(std::vector<Case>& cases, const Options& o) {
    const int rounds = o.rounds;
    if (!o.only.empty()) {
        std::vector<std::string> wanted;
        std::stringstream list(o.only);
        for (std::string w; std::getline(list, w, '|');) wanted.push_back(w);
        cases.erase(std::remove_if(cases.begin(), cases.end(),
                                   [&](const Case& c) {
                                       return std::none_of(wanted.begin(), wanted.end(), [&](const std::string& w) {
                                           return c.name.find(w) != std::string::npos;
                                       });
                                   }),
                    cases.end());
    }
    for (int r = -1; r < rounds; ++r)
        for (size_t k = 0; k < cases.size(); ++k) {
            Case& c = cases[(k + static_cast<size_t>(r + 1)) % cases.size()];
            if (c.failed) continue;
            const double s = c.run();
            if (s < 0) {
                c.failed = true;
                c.seconds.clear();
            } else if (r >= 0) {
                c.seconds.push_back(s);
            }
        }
}

inline const Case* Find(const std::vector<Case>& cases, const std::string& name) {
    for (const Case& c : cases)
        if (c.name == name) return &c;
    return nullptr;
}

inline void PrintCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        if (c.failed) std::printf("  %-44s failed\n", c.name.c_str());
        if (c.seconds.empty()) continue;
        const auto mm = std::minmax_element(c.seconds.begin(), c.seconds.end());
        std::printf("  %-44s %10.1f ms   (%.1f-%.1f)\n", c.name.c_str(), Median(c.seconds) * 1e3, *mm.first * 1e3,
                    *mm.second * 1e3);
    }
}

// "subject / yardstick": the ratio of the medians, and the range of the
// ratios of the same round.
inline void PrintRatio(const std::vector<Case>& cases, const std::string& subject, const std::string& yardstick,
                       double target = 0) {
    const Case* s = Find(cases, subject);
    const Case* y = Find(cases, yardstick);
    if (!s || !y || s->seconds.empty() || s->seconds.size() != y->seconds.size()) return;
    std::vector<double> per;
    for (size_t i = 0; i < s->seconds.size(); ++i) per.push_back(s->seconds[i] / y->seconds[i]);
    const auto mm = std::minmax_element(per.begin(), per.end());
    const double ratio = Median(s->seconds) / Median(y->seconds);
    std::printf("  %s / %s: %.2fx   (rounds %.2f-%.2f)", subject.c_str(), yardstick.c_str(), ratio, *mm.first,
                *mm.second);
    if (target > 0) std::printf("   target <= %.2fx: %s", target, ratio <= target ? "met" : "NOT MET");
    std::printf("\n");
}

// The machine the figures come from.
inline void PrintMachine(const Options& o) {
    std::string model = "unknown CPU";
    std::ifstream cpu("/proc/cpuinfo");
    for (std::string line; std::getline(cpu, line);)
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("machine: %s, %ld cores, load average %.2f; %d rounds per case, alternating\n", model.c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), load[0], o.rounds);
}

// Runs a command line in a child process; its wall time in seconds, and its
// peak resident memory in bytes in *peak. Output goes to /dev/null unless
// `keep` names a file. Negative when the child failed.
inline double RunChild(const std::vector<std::string>& argv, long* peak = nullptr, const std::string& keep = "") {
    std::fflush(stdout);
    std::fflush(stderr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string out = keep.empty() ? "/dev/null" : keep;
        if (!freopen(out.c_str(), "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return -1;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (peak) *peak = usage.ru_maxrss * 1024L;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

// A child process kept running and asked one line at a time: what it
// answers is one line back. For yardsticks that must stay warm as the thing
// they are measured against does.
class ServedChild {
public:
    explicit ServedChild(const std::vector<std::string>& argv) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        std::fflush(stdout);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            // stderr stays the benchmark's: a failing child says why.
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_to = fdopen(in[1], "w");
        m_from = fdopen(out[0], "r");
    }
    ~ServedChild() {
        if (m_to) fclose(m_to);
        if (m_from) fclose(m_from);
        if (m_pid > 0) waitpid(m_pid, nullptr, 0);
    }
    ServedChild(const ServedChild&) = delete;
    ServedChild& operator=(const ServedChild&) = delete;

    // The answer to one line; empty when the child is gone.
    std::string Ask(const std::string& line) {
        if (!m_to || !m_from) return {};
        std::fprintf(m_to, "%s\n", line.c_str());
        std::fflush(m_to);
        char buf[4096];
        if (!std::fgets(buf, sizeof buf, m_from)) return {};
        std::string answer = buf;
        while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
        return answer;
    }

private:
    pid_t m_pid = -1;
    FILE* m_to = nullptr;
    FILE* m_from = nullptr;
};

}  // namespace sidebyside
