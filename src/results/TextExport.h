#pragma once

#include "core/WindowPointer.h"
#include "core/WindowServices.h"

#include <QCoreApplication>

namespace tagsifter {

class RowTable;

/// "Save Results As Text File": one path per results row, in list order.
class TextExport
{
    Q_DECLARE_TR_FUNCTIONS(TextExport)

public:
    TextExport(const WindowServices& services, RowTable& results, WindowPointer& pointer);

    void PushButton2_Click();
    /// Writes the row texts of `results` to `path`, replacing it only once every row is on the
    /// disk; returns how many rows were removed while it yielded. Throws Failure with the
    /// reason when a row cannot be written; an existing file is then left as it was.
    static int writeRows(const RowTable& results, const QString& path, FileSystem& files,
                         EventLoopService* events);

    static QString overwriteQuestion(const QString& path);
    static QString dialogFilter() { return tr("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"); }

private:
    WindowServices m_services;
    RowTable& m_results;
    WindowPointer& m_pointer;
};

} // namespace tagsifter
