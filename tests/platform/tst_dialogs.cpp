#include "platform/widgets/QtWindowServices.h"
#include "support/FakeServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
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
            // Typed as a user types: into the box that has the focus (the dialog writes the
            // names it selects into the box only while it has none).
            QApplication::setActiveWindow(dialog);
            edit->setFocus();
            QVERIFY(edit->hasFocus());
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

    void everyTypedNameIsAnswered_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("a full path of another folder")
            << "\"DIR/other/f1.jpg\" \"b.jpg\"" << QStringList{"other/f1.jpg", "shown/b.jpg"};
        QTest::newRow("a name in a sub-folder")
            << "\"sub1/s1.jpg\" \"b.jpg\"" << QStringList{"shown/sub1/s1.jpg", "shown/b.jpg"};
        QTest::newRow("a sub-folder's name alone")
            << "sub1/s1.jpg" << QStringList{"shown/sub1/s1.jpg"};
        QTest::newRow("picked in the folder")
            << "\"c.jpg\" \"b.jpg\"" << QStringList{"shown/c.jpg", "shown/b.jpg"};
        // The dialog says so and stays open; the user then cancels it.
        QTest::newRow("a name that is not there") << "\"missing.jpg\" \"b.jpg\"" << QStringList();
    }
    void everyTypedNameIsAnswered()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (const char* file : {"other/f1.jpg", "shown/b.jpg", "shown/c.jpg", "shown/sub1/s1.jpg"})
            writeFile(dir.path() + "/" + file);
        QString warning;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setDirectory(dir.path() + "/shown");
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(edit);
            // Typed as a user types: into the box that has the focus (the dialog writes the
            // names it selects into the box only while it has none).
            QApplication::setActiveWindow(dialog);
            edit->setFocus();
            QVERIFY(edit->hasFocus());
            edit->setText(QString(line).replace("DIR", dir.path()));
            if (expected.isEmpty()) {
                // The warning is modal over the dialog: once it shows, it is read and closed,
                // and the dialog is cancelled.
                auto* watch = new QTimer(dialog);
                QObject::connect(watch, &QTimer::timeout, [&, dialog, watch] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    if (!box)
                        return;
                    watch->stop();
                    warning = box->text();
                    box->accept();
                    QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
                });
                watch->start(10);
            }
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        QtFileDialogs dialogs;
        const OpenFilesAnswer answer = dialogs.openFiles("Open", "JPEG Files (*.jpg)|*.jpg|");
        QStringList chosen;
        for (const QString& name : answer.names)
            chosen.append((answer.folder.isEmpty() ? name : answer.folder + "/" + name)
                              .mid(dir.path().size() + 1));
        QCOMPARE(chosen, expected);
        QCOMPARE(warning.contains("missing.jpg\nFile not found."), expected.isEmpty());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
