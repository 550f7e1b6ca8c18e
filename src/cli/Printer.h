#pragma once

#include "OptionTable.h"
#include "Output.h"

#include "core/DumpParser.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace tagsifter {

class PatternMatcher;
struct SearchOutcome;

/// How the hits of `tagsifter find` are written: one printer a mode. A printer hears the
/// search start, each image's hits as they are found, each image searched without a hit, and
/// the end with its outcome.
class Printer
{
public:
    virtual ~Printer() = default;
    virtual void start() {}
    /// The hits of the image at `path` (as given, bytes held as decodeFileName holds them).
    virtual void hits(const QString& path, const QList<TagValue>& hits) = 0;
    /// The same hits as packEntries holds them ("TAG:VALUE" lines in UTF-8): the cache file's
    /// pass hands them so, and a printer that writes bytes need not decode them.
    virtual void packedHits(const QString& path, const QByteArray& packed)
    {
        hits(path, unpackEntries(packed));
    }
    /// The hits of the XMP sidecar at `sidecar` of the image at `path`, after the image's own;
    /// by default the image's rows.
    virtual void sidecarHits(const QString& path, const QString& sidecar,
                             const QList<TagValue>& hits)
    {
        Q_UNUSED(sidecar);
        this->hits(path, hits);
    }
    /// An image searched that holds no hit.
    virtual void noHits(const QString& path) { Q_UNUSED(path); }
    /// The search is over; false, after saying why on `err`, when what was kept for the end
    /// could not be written.
    virtual bool end(const SearchOutcome& outcome, std::FILE* err)
    {
        Q_UNUSED(outcome);
        Q_UNUSED(err);
        return true;
    }
};

/// How a printer marks what it writes on a terminal.
struct Marking
{
    /// Colours on: the path in magenta, each match in bold red, as rg shows them.
    bool color = false;
    /// Where the matches stand in a value; none marks nothing.
    std::shared_ptr<const PatternMatcher> matches;
};

/// The printer of `options` (its mode, -q and -0), writing to `output`.
std::unique_ptr<Printer> makePrinter(const FindOptions& options, Output& output, Marking marking);

/// Appends `value` escaped as hitLine escapes it, each span of `matches` in its colour.
void appendMarkedValue(QByteArray& out, const QString& value, const PatternMatcher* matches);

/// A line of hits with colours: the path, tag and value escaped as hitLine escapes them, the
/// path and each span of the value in their colours.
QByteArray markedHitLine(const QByteArray& path, const QString& tag, const QString& value,
                         const PatternMatcher* matches);

} // namespace tagsifter
