// Workstations with many fonts for the benchmarks: copies of real font files
// in which every copy is a face of its own.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace benchfonts {

// TrueType/OpenType files under `roots` no larger than `maxBytes`, sorted.
std::vector<std::filesystem::path> FindFonts(const std::vector<std::string>& roots, uintmax_t maxBytes);

// Writes `count` files into `dir`, cycling over `sources`. The first round
// copies them as they are; in every later round the copies' family, full and
// PostScript names begin with the round's tag, so each round is a new set of
// families (a family's styles stay one family) and no two rounds share a face.
// Returns the files written, in order.
std::vector<std::filesystem::path> WriteCopies(const std::vector<std::filesystem::path>& sources, size_t count,
                                               const std::filesystem::path& dir);

// A machine profile at `dir` whose Fonts/ links the given files.
void LinkProfile(const std::filesystem::path& dir, const std::vector<std::filesystem::path>& files);

// The faces of a profile once loaded (for the benchmarks' labels).
size_t FaceCount(const std::filesystem::path& profile);

// Median, minimum and maximum of the repetitions, beside Google Benchmark's own.
template <typename B>
B* WithSpread(B* b) {
    return b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

// CPU time (user and system) of this process's finished children, in
// milliseconds: what a command run with std::system cost, whatever the load.
double ChildCpuMs();

// A fresh folder under the temporary folder, removed by RemoveScratch.
std::filesystem::path Scratch(const std::string& name);
void RemoveScratch(const std::filesystem::path& dir);

}  // namespace benchfonts
