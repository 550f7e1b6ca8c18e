#pragma once

#include "core/WindowServices.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

namespace tagsifter {

class ListModel;

/// The bundled sample images: the snapshot of their paths taken at first start, and
/// "Load Sample/Example Files".
class Samples
{
    Q_DECLARE_TR_FUNCTIONS(Samples)

public:
    Samples(const WindowServices& services, QString applicationFolder);

    /// Records every file of the Samples folder in the "Snapshot" setting, scrambled.
    void TakeSampleSnapshot();
    /// Start-up's check: takes the snapshot when "Snapshot" is empty.
    void checkSnapshot();
    /// Lists the recorded sample files that still exist and are not yet listed, then offers
    /// to open the Samples folder.
    void LoadSampleFiles(ListModel& list);

    QString samplesFolder() const;
    static QString searchText() { return tr("Kodak"); }
    static QString openFolderQuestion();
    static QString scramblingKey() { return QStringLiteral("quillmet"); }

private:
    WindowServices m_services;
    QString m_applicationFolder;
};

/// True when a row's text equals `text` exactly.
bool ListContains(const ListModel& list, const QString& text);

/// Scrambling of the stored snapshot, over the bytes of the UTF-8 form (codes 1 to 255): each
/// code plus the key letter's code, less 255 above 255. The result holds one character per
/// byte. `yieldEach` runs once per character.
QString ScrambleText(const QString& text, const QString& key, EventLoopService* events = nullptr);
QString UnscrambleText(const QString& text, const QString& key, EventLoopService* events = nullptr);

} // namespace tagsifter
