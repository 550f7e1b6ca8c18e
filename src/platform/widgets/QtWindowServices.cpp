#include "QtWindowServices.h"

#include "core/AppTitle.h"
#include "core/Failure.h"
#include "platform/FileNames.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>

namespace tagsifter {

namespace {

QString titleOrDefault(const QString& title)
{
    return title.isEmpty() ? applicationTitle() : title;
}

// Qt filters are written "Name (*.a *.b)" and separated by ";;"; the program writes them
// the classic way, "Name (*.a;*.b)|*.a;*.b|".
QString qtFilter(const QString& classic)
{
    const QStringList parts = classic.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts.at(i);
        const int open = label.indexOf(QLatin1Char('('));
        if (open > 0)
            label = label.left(open).trimmed();
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        filters.append(QStringLiteral("%1 (%2)").arg(label, patterns));
    }
    return filters.join(QLatin1String(";;"));
}

// File dialogs match extensions without regard to case, so "*.jpg" also shows "DSC01.JPG".
void ignoreCaseInFilters(QFileDialog& dialog)
{
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

/// The open dialog, answering every name typed into it. Qt's own answers only the typed names
/// it could select in the folder shown as soon as one of them is there: a full path of
/// another folder or a name in a sub-folder was dropped.
class OpenFilesDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;
    /// The names typed, each as a full path, in the order typed.
    const QStringList& typedPaths() const { return m_typed; }

    void accept() override
    {
        m_typed.clear();
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString text = edit ? edit->text().trimmed() : QString();
        // Several names are typed within double quotes: "a.jpg" "b.jpg".
        QStringList names;
        if (text.contains(QLatin1Char('"'))) {
            const QStringList parts = text.split(QLatin1Char('"'));
            for (int i = 1; i < parts.size(); i += 2) {
                if (!parts.at(i).isEmpty())
                    names.append(parts.at(i));
            }
        } else if (!text.isEmpty()) {
            names.append(text);
        }
        for (const QString& name : std::as_const(names)) {
            // A relative name is one of the folder shown, a full path is taken as it is.
            const QString path =
                QDir::isAbsolutePath(name)
                    ? QDir::cleanPath(name)
                    : QDir::cleanPath(directory().absolutePath() + QLatin1Char('/') + name);
            if (QFileInfo(path).isDir()) {
                m_typed.clear(); // Qt's own: the dialog opens the folder typed
                break;
            }
            if (!QFileInfo::exists(path)) {
                // The dialog stays, so the name can be mended, as when a name typed alone is
                // not there.
                QMessageBox::warning(this, windowTitle(),
                                     QFileDialog::tr("%1\nFile not found.\nPlease verify the "
                                                     "correct file name was given.")
                                         .arg(name));
                m_typed.clear();
                return;
            }
            m_typed.append(path);
        }
        QFileDialog::accept();
    }

private:
    QStringList m_typed;
};

} // namespace

MessageAnswer QtMessageBox::show(const QString& text, MessageFlags flags, const QString& title)
{
    QMessageBox box(m_owner);
    box.setWindowTitle(titleOrDefault(title));
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    const bool question = flags == MessageFlags::YesNo;
    if (question) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (flags == MessageFlags::Exclamation)
        box.setIcon(QMessageBox::Warning);
    const int answer = box.exec();
    if (question)
        return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    return MessageAnswer::Ok;
}

QString QtInputBox::ask(const QString& prompt, const QString& defaultAnswer, const QString& title)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(
        m_owner, titleOrDefault(title), displayText(prompt), QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

OpenFilesAnswer QtFileDialogs::openFiles(const QString& title, const QString& filter)
{
    OpenFilesDialog dialog(m_owner, title, QString(), qtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    ignoreCaseInFilters(dialog);
    OpenFilesAnswer answer;
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    // Qt decodes the names it lists itself; a name that is not UTF-8 gets its bytes back.
    QStringList chosen =
        dialog.typedPaths().isEmpty() ? dialog.selectedFiles() : dialog.typedPaths();
    if (chosen.isEmpty())
        return answer;
    for (QString& path : chosen)
        path = heldPath(path);
    // Files of one folder come as the folder and their names; full paths typed from other
    // folders keep their own folders, each as a whole path.
    const auto folderOf = [](const QString& path) {
        return path.left(std::max<qsizetype>(path.lastIndexOf(QLatin1Char('/')), 1));
    };
    const QString folder = folderOf(chosen.constFirst());
    const bool oneFolder = std::all_of(chosen.cbegin(), chosen.cend(), [&](const QString& path) {
        return folderOf(path) == folder;
    });
    if (chosen.size() == 1 || !oneFolder) {
        answer.names = chosen;
        return answer;
    }
    answer.folder = folder;
    for (const QString& path : chosen)
        answer.names.append(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    return answer;
}

QString QtFileDialogs::saveFile(const QString& title, const QString& filter)
{
    QFileDialog dialog(m_owner, title, QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks about overwriting itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    ignoreCaseInFilters(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return heldPath(dialog.selectedFiles().constFirst());
}

QString QtFileDialogs::browseFolder(const QString& title, const QString& startFolder)
{
    return heldPath(QFileDialog::getExistingDirectory(m_owner, title, startFolder));
}

bool QtShell::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool QtClipboard::clear()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    return true;
}

bool QtClipboard::setText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
}

QtWindowServices::QtWindowServices() : m_spreadsheet(makeSpreadsheetService()) {}

QtWindowServices::~QtWindowServices() = default;

void QtWindowServices::setOwner(QWidget* window)
{
    m_messages.setOwner(window);
    m_input.setOwner(window);
    m_dialogs.setOwner(window);
}

WindowServices QtWindowServices::window()
{
    WindowServices w;
    w.system = m_system.system();
    w.user.messages = &m_messages;
    w.user.input = &m_input;
    w.user.dialogs = &m_dialogs;
    w.desktop.shell = &m_shell;
    w.desktop.clipboard = &m_clipboard;
    w.desktop.spreadsheet = m_spreadsheet.get();
    w.random = &m_random;
    return w;
}

} // namespace tagsifter
