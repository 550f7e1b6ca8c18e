#pragma once

#include "core/SheetBuffer.h"
#include "core/Spreadsheet.h"

#include <QString>
#include <QtGlobal>

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

namespace tagsifter {

/// LibreOffice Calc, driven through UNO over a private pipe. The office is started by this
/// program (never through a shell) and waited for while the window keeps answering.
class CalcSpreadsheet : public SpreadsheetService
{
public:
    /// `programFolder` holds LibreOffice's `soffice` and its UNO bootstrap file.
    explicit CalcSpreadsheet(QString programFolder = defaultProgramFolder());

    /// Starts a separate, invisible Calc with a throw-away profile, opens a sheet in it and
    /// ends it again: nothing of it is left running, and an office the user has open is not
    /// touched.
    bool probe() override;
    /// Starts Calc as the user's own office (or reaches the one already running) and opens a
    /// new, hidden spreadsheet that stays the user's once shown.
    std::unique_ptr<SpreadsheetDocument> newDocument() override;

    /// UNO_PATH when set, else where Debian installs LibreOffice.
    static QString defaultProgramFolder();
    /// The text a pipe name starts with for the probe's office of this process.
    static QString probePipePrefix();

    /// How long an office may take to answer its pipe.
    static constexpr int kStartTimeoutMs = 120000;

private:
    css::uno::Reference<css::uno::XComponentContext> localContext();
    QString sofficePath() const;

    QString m_programFolder;
    css::uno::Reference<css::uno::XComponentContext> m_local;
};

/// A new spreadsheet in a running Calc. Cells are collected and written a block of rows at a
/// time; a lost connection surfaces as a Failure from the call that finds it.
class CalcDocument : public SpreadsheetDocument
{
public:
    explicit CalcDocument(const css::uno::Reference<css::frame::XModel>& model);
    Q_DISABLE_COPY_MOVE(CalcDocument)
    void setCellText(int row, int column, const QString& text) override;
    void fitColumns() override;
    void show() override;

    css::uno::Reference<css::frame::XModel> model() const { return m_model; }
    css::uno::Reference<css::sheet::XSpreadsheet> sheet() const { return m_sheet; }

private:
    void writeBlock(int firstRow, int firstColumn, const std::vector<std::vector<QString>>& rows);

    css::uno::Reference<css::frame::XModel> m_model;
    css::uno::Reference<css::sheet::XSpreadsheet> m_sheet;
    SheetBuffer m_buffer;
};

/// Conversions between Qt's and UNO's UTF-16 strings.
rtl::OUString toUno(const QString& text);
QString fromUno(const rtl::OUString& text);

} // namespace tagsifter
