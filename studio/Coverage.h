// What the files of a compile can draw: the summary the studio prints and
// the report it writes as JSON.
#pragma once

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "Glyphworks.h"
#include "Studio.h"

namespace studio {

// Whether the file loses anything: a character no face draws, a glyph the
// QPF2 format cannot hold, or a file that could not be made.
bool LosesCharacters(const CoverageRecord& r);

// Per file: the count of characters asked for and, for a file that loses
// some, how many and the first of them as text and as U+ codes.
void PrintCoverageSummary(const std::vector<CoverageRecord>& records, std::ostream& out);

// The records of a compile: those of this build and those of `stored` (what
// the last compile into `folder` stored: TakeCoverageStore) for the files it
// still holds and this build did not remake, files by name and characters
// by code point, whichever build made them. The result is stored in the
// folder for the next compile. `present`: the files there.
std::vector<CoverageRecord> WithUnchangedFiles(const std::string& folder, std::vector<CoverageRecord> built,
                                               std::vector<CoverageRecord> stored,
                                               const std::set<std::string>& present);
// The records the last compile into `folder` stored (none when it stored none).
std::vector<CoverageRecord> ReadCoverageStore(const std::string& folder);
// The same, taken out of the folder: a compile stopped before it stores its
// own leaves none, and the next makes again every file it has no record of.
std::vector<CoverageRecord> TakeCoverageStore(const std::string& folder);
// The name of that record in the output folder.
extern const char kCoverageStore[];

// The whole report as JSON; written whole or not at all. False when the file
// could not be written (the failure is kept for the host to print).
// `shaping`: the texts each file shapes otherwise (its "shaping" member).
bool WriteCoverageReport(const std::vector<CoverageRecord>& records, const std::vector<ShapingFinding>& shaping,
                         const std::string& target, const std::string& path);

}  // namespace studio
