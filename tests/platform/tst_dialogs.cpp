#include "platform/widgets/QtPlatform.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tagsifter;
using namespace tagsifter::test;

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void typedFullPathsKeepTheirFolders_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<bool>("fromOneFolder");
        QTest::newRow("two from another folder") << QStringList{"x/a.jpg", "x/b.jpg"} << true;
        QTest::newRow("from two folders") << QStringList{"x/a.jpg", "y/c.jpg"} << false;
        QTest::newRow("one") << QStringList{"y/c.jpg"} << false;
    }

    void typedFullPathsKeepTheirFolders()
    {
        // The dialog shows one folder while full paths of another are typed into it.
        QFETCH(QStringList, typed);
        QFETCH(bool, fromOneFolder);
        QTemporaryDir dir;
        QStringList expected;
        QString line;
        for (const QString& name : typed) {
            expected.append(dir.path() + "/" + name);
            writeFile(expected.last());
            line += "\"" + expected.last() + "\" ";
        }
        QDir().mkpath(dir.path() + "/shown");
        QDir::setCurrent(dir.path() + "/shown");
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setDirectory(dir.path() + "/shown");
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(edit);
            edit->setText(line.trimmed());
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        QtFileDialogs dialogs;
        const OpenFilesAnswer answer = dialogs.openFiles("Open", "JPEG Files (*.jpg)|*.jpg|");
        QStringList chosen;
        for (const QString& name : answer.names)
            chosen.append(answer.folder.isEmpty() ? name : answer.folder + "/" + name);
        std::sort(chosen.begin(), chosen.end());
        QCOMPARE(chosen, expected);
        QCOMPARE(!answer.folder.isEmpty(), fromOneFolder && typed.size() > 1);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
