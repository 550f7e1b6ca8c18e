#pragma once

#include <functional>

namespace tagsifter {

/// How the numbered steps of a long procedure (a one-shot read) are run for the one who asked
/// for it: the window's standard error report runs each step and reports a failure at its
/// line, then goes on with the next. Without one a failure ends the procedure.
class StepReport
{
public:
    virtual ~StepReport() = default;
    /// Runs step `number`; a failure is reported and swallowed.
    virtual void runStep(int number, const std::function<void()>& statement) = 0;
    /// A decision's test at step `number`; a failing test is reported and counts as true.
    virtual bool testStep(int number, const std::function<bool()>& test) = 0;
};

} // namespace tagsifter
