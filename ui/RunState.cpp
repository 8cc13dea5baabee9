#include "ui/RunState.h"

RunVerdict JudgeRun(RunEnd how, uint32_t count, const RunTally& tally, unsigned long failedReads)
{
    if (how == RunEnd::PortLost)
        return { Outcome::PortLost, {} };
    std::vector<Cause> causes;
    if (tally.unwritten)
        causes.push_back(Cause::Unwritten);
    if (tally.lineErrors)
        causes.push_back(Cause::LineErrors);
    if (failedReads)
        causes.push_back(Cause::ReadsFailed);
    if (tally.insideLine)
        causes.push_back(Cause::InsideLine);
    if (tally.slept)
        causes.push_back(Cause::Slept);
    if (!causes.empty())
        return { Outcome::Incomplete, causes };
    return { count ? Outcome::Good : Outcome::Nothing, {} };
}
