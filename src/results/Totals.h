#pragma once

#include <QCoreApplication>
#include <QString>

namespace tagsifter {

class ShownRows;

/// The line under the results that says what was found: "1,234 rows from 56 of 432 images".
class Totals
{
    Q_DECLARE_TR_FUNCTIONS(Totals)

public:
    /// What the line counts.
    struct Counts
    {
        int rowsShown = 0;
        int rows = 0;
        int imagesShown = 0;
        /// The images the last run searched; -1 while none has ended since the list was new.
        int imagesSearched = -1;
        bool filtered = false;
    };
    static Counts countsOf(const ShownRows& shown, int imagesSearched);
    /// The line; empty before anything was searched or found.
    static QString text(const Counts& counts);
    /// The line as a tool tip and a screen reader tell it: with the filter on, also that what
    /// acts on the rows acts on those shown.
    static QString note(const Counts& counts);
};

} // namespace tagsifter
