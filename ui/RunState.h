// The main window's state of a read-out, and its rules that need no window:
// the run's tally, the verdict on a finished run (behind the box at its end
// and Delete's question) and the watch on what the logger sends after it.
// Plain C++, without windows.h.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

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
// A run that ended `how` after `count` characters; the tally and the reads
// that failed tell what it lost.
RunVerdict JudgeRun(RunEnd how, uint32_t count, const RunTally& tally, unsigned long failedReads);

// Characters after a run's end, which ended at a silence: what comes before
// the next command is in no table. Armed at a run's end, counting from the
// first character while a timer ticks, and told once: when they stop, when
// the port is opened anew or the program ends. A command's answer is none.
class CLateWatch {
public:
    void Arm() { m_state = State::Armed; }
    // A character with no run; true for the first: the timer starts.
    bool Note()
    {
        if (m_state == State::Off)
            return false;
        ++m_nCount;
        return std::exchange(m_state, State::Counting) == State::Armed;
    }
    // The timer's tick; true when nothing came since the last one.
    bool Tick() { return m_state == State::Counting && std::exchange(m_nAtTick, m_nCount) == m_nCount; }
    // Ends the watch: the characters to tell, 0 when there is nothing to tell.
    uint32_t Finish() { return std::exchange(m_state, State::Off) == State::Counting ? m_nCount : 0; }
    // A command goes out: what came before counts no more.
    void Stop() { *this = CLateWatch(); }
    uint32_t Count() const { return m_nCount; }

private:
    enum class State { Off, Armed, Counting } m_state = State::Off;
    uint32_t m_nCount = 0, m_nAtTick = 0;  // characters since the last command, and at the last tick
};
