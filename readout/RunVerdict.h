// What a finished read-out tells: the rules behind the box at its end and
// behind Delete's question. Plain C++, without windows.h.
#pragma once

#include <cstdint>
#include <vector>

// How a run ended.
enum class RunEnd { Silence, PortLost, ReadsFailing, ProgramEnds };

// How the last run of this program run went, for Delete's question.
enum class Outcome { None, Good, Nothing, PortLost, Incomplete };

// A run's own counters beside the character count, reset as a whole when a run starts.
struct RunTally {
    bool tableTaken = false;     // emptied for this run: the first character has come
    bool insideLine = false;     // the last character did not end a line
    uint32_t unwritten = 0;      // characters whose writes failed
    uint32_t lineErrors = 0;     // line errors the driver reported
    bool slept = false;          // the PC went to sleep meanwhile
    uint32_t bufferedChars = 0;  // characters whose bytes wait in the table's write buffer
    uint64_t lastFlush = 0;      // when that buffer was last written out (the clock's milliseconds)
};

// Why a table is incomplete, in the order the box gives them.
enum class Cause { Unwritten, LineErrors, ReadsFailed, InsideLine, Slept };

struct RunVerdict {
    Outcome outcome;
    std::vector<Cause> causes;  // Incomplete only
};

// The verdict on a run that ended `how` after taking `count` characters, of
// which the tally and the reads that failed (`failedReads`) tell what was lost.
RunVerdict JudgeRun(RunEnd how, uint32_t count, const RunTally& tally, unsigned long failedReads);
