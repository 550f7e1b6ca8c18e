#pragma once

#include "core/Dialogs.h"
#include "core/StepReport.h"

#include <QCoreApplication>
#include <QString>

#include <exception>
#include <functional>

namespace tagsifter {

/// The standard error report of a procedure. A procedure keeps one for its whole activation
/// and runs each numbered line through it; a failing line shows the "Application Error" box
/// with the location and line number, and the procedure goes on with its next line.
///
///     ErrorReport report(messages, ErrorReport::formLocation("PushButton7_Click"));
///     report.line(100, [&] { ... });
///     if (report.condition(102, [&] { return ...; })) { ... }   // a failing test enters
class ErrorReport : public StepReport
{
    Q_DECLARE_TR_FUNCTIONS(ErrorReport)

public:
    ErrorReport(MessageBoxService& messages, QString location);
    /// A failure a line gives: what it says and its code (0 when it has none).
    using Handler = std::function<void(int line, const QString& description, int code)>;
    /// Reports failures as data to `handler` instead of a message box: how a caller that is
    /// not the window learns of them.
    explicit ErrorReport(Handler handler);

    /// "Tagsift2021/08/31.Form1." + procedure: the location of a procedure of the window.
    static QString formLocation(const QString& procedure);
    static QString supportAddress();
    /// The report text for a failure with `description` at `location`, line `line`.
    static QString text(const QString& description, const QString& location, int line);

    /// Runs one numbered line; a failure is reported and swallowed.
    template <typename Statement> void line(int number, Statement&& statement)
    {
        try {
            statement();
        } catch (...) {
            report(number, std::current_exception());
        }
    }

    /// A decision's condition: a failing test is reported and then counts as true, so the
    /// statements inside the decision run.
    template <typename Test> bool condition(int number, Test&& test)
    {
        try {
            return test();
        } catch (...) {
            report(number, std::current_exception());
            return true;
        }
    }

    /// A value read on a numbered line; `fallback` when reading it failed.
    template <typename T, typename Read> T value(int number, Read&& read, T fallback)
    {
        try {
            return read();
        } catch (...) {
            report(number, std::current_exception());
            return fallback;
        }
    }

    void runStep(int number, const std::function<void()>& statement) override
    {
        line(number, statement);
    }
    bool testStep(int number, const std::function<bool()>& test) override
    {
        return condition(number, test);
    }
    /// Shows the report for a failure caught elsewhere.
    void report(int number, std::exception_ptr failure);
    int reportCount() const { return m_reports; }

private:
    Handler m_handler;
    int m_reports = 0;
};

} // namespace tagsifter
