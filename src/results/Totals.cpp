#include "Totals.h"

#include "platform/ShownRows.h"

#include <QLocale>

namespace tagsifter {

namespace {

QString number(int n)
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return locale.toString(n);
}

} // namespace

Totals::Counts Totals::countsOf(const ShownRows& shown, int imagesSearched)
{
    Counts counts;
    counts.rowsShown = shown.count();
    counts.rows = shown.source().count();
    counts.imagesShown = shown.distinctTextsShown();
    counts.imagesSearched = imagesSearched;
    counts.filtered = shown.isFiltered();
    return counts;
}

QString Totals::text(const Counts& c)
{
    if (c.rows == 0 && c.imagesSearched < 0)
        return QString();
    const QString rows = c.filtered
                             ? tr("%1 of %2 rows shown").arg(number(c.rowsShown), number(c.rows))
                         : c.rows == 1 ? tr("1 row")
                                       : tr("%1 rows").arg(number(c.rows));
    QString images;
    if (c.imagesSearched < 0)
        images = c.imagesShown == 1 ? tr("1 image") : tr("%1 images").arg(number(c.imagesShown));
    else if (c.imagesSearched == 1)
        images = tr("%1 of 1 image").arg(number(c.imagesShown));
    else
        images = tr("%1 of %2 images").arg(number(c.imagesShown), number(c.imagesSearched));
    return c.filtered ? tr("%1, from %2").arg(rows, images) : tr("%1 from %2").arg(rows, images);
}

QString Totals::note(const Counts& counts)
{
    const QString line = text(counts);
    if (!counts.filtered)
        return line;
    return tr("%1; the exports, copies and Open All use the rows shown").arg(line);
}

} // namespace tagsifter
