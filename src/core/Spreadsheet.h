#pragma once

#include <QString>

#include <memory>

namespace tagsifter {

/// A new spreadsheet document in a running spreadsheet application. Every call may throw
/// Failure, for example when the connection to the application is lost.
class SpreadsheetDocument
{
public:
    virtual ~SpreadsheetDocument() = default;
    /// Writes `text` as text (never a formula) into the cell at 1-based `row`, `column`.
    virtual void setCellText(int row, int column, const QString& text) = 0;
    /// Fits every column's width to its contents.
    virtual void fitColumns() = 0;
    /// Shows the document's window and leaves it to the user.
    virtual void show() = 0;
};

/// The spreadsheet application, driven by automation.
class SpreadsheetService
{
public:
    virtual ~SpreadsheetService() = default;
    /// True when an instance of the application could be started (and is released again).
    virtual bool probe() = 0;
    /// Starts the application with a new, hidden document. Throws Failure when it cannot.
    virtual std::unique_ptr<SpreadsheetDocument> newDocument() = 0;
};

} // namespace tagsifter
