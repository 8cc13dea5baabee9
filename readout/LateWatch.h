// The watch on characters the logger sends after a run has ended: the run
// ended at a silence, and what comes before the next command is in no table.
// Off until a run ends; armed then; counting from the first character, while
// a timer ticks; told once they stop, or when the port is opened anew or the
// program ends. A command ends it: what comes then is the command's answer.
// Plain C++, without windows.h.
#pragma once

#include <cstdint>
#include <utility>

class CLateWatch {
public:
    // A run has ended: what comes now is counted.
    void Arm() { m_state = State::Armed; }
    // A character came with no run. True for the first: the timer starts.
    bool Note()
    {
        if (m_state != State::Armed && m_state != State::Counting)
            return false;
        ++m_nCount;
        return std::exchange(m_state, State::Counting) == State::Armed;
    }
    // The timer's tick. True when nothing came since the last one: the count is to be told now.
    bool Tick()
    {
        if (m_state != State::Counting || m_nCount != m_nAtTick) {
            m_nAtTick = m_nCount;
            return false;
        }
        return true;
    }
    // Ends the watch: the characters to tell, 0 when there is nothing to tell
    // (never more than once a run). Count() keeps them.
    uint32_t Finish() { return std::exchange(m_state, State::Off) == State::Counting ? m_nCount : 0; }
    // A command goes out: nothing that came before counts any more.
    void Stop()
    {
        m_state = State::Off;
        m_nCount = m_nAtTick = 0;
    }
    // The characters counted since the last command.
    uint32_t Count() const { return m_nCount; }

private:
    enum class State { Off, Armed, Counting };
    State m_state = State::Off;
    uint32_t m_nCount = 0;
    uint32_t m_nAtTick = 0;  // the count at the timer's last tick
};
