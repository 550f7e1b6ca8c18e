#include "platform/calc/CalcSpreadsheet.h"

#include "core/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tagsifter {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
namespace uno = css::uno;

rtl::OUString toUno(const QString& text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), text.size());
}

QString fromUno(const rtl::OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

namespace {

QString lostConnection()
{
    return QStringLiteral("The connection to LibreOffice Calc was lost.");
}

/// Runs UNO calls and turns what they throw into the program's own failures.
template <class Calls> void unoCalls(Calls&& calls)
{
    try {
        calls();
    } catch (const css::lang::DisposedException&) {
        throw Failure(lostConnection());
    } catch (const uno::Exception& e) {
        const QString detail = fromUno(e.Message);
        throw Failure(detail.isEmpty() ? QStringLiteral("LibreOffice Calc failed.")
                                       : QStringLiteral("LibreOffice Calc failed: ") + detail);
    }
}

/// Runs `work` on a thread of its own and keeps the window answering until it is done. Starting
/// an office and opening its first document take seconds.
void whileAnswering(const std::function<void()>& work)
{
    std::exception_ptr failure;
    QFuture<void> done = QtConcurrent::run([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (QCoreApplication::instance()) {
        QEventLoop loop;
        QFutureWatcher<void> watcher;
        QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(done);
        if (!done.isFinished())
            loop.exec();
    }
    done.waitForFinished();
    if (failure)
        std::rethrow_exception(failure);
}

QString newPipeName(const QString& purpose)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("tagsifter_%1_%2_%3_%4")
        .arg(purpose)
        .arg(QCoreApplication::applicationPid())
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

/// Connects to the office that listens on `pipe`, trying every 100 ms. `starterGone` tells
/// that the started process has ended; an office that is already running takes the request
/// over from it, so the trying goes on for a while after that.
Reference<uno::XComponentContext> connectTo(const Reference<uno::XComponentContext>& local,
                                            const QString& pipe,
                                            const std::function<bool()>& starterGone)
{
    const Reference<css::bridge::XUnoUrlResolver> resolver =
        css::bridge::UnoUrlResolver::create(local);
    const rtl::OUString address =
        toUno(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe));
    constexpr qint64 kAfterStarterEndedMs = 10000;
    QElapsedTimer clock;
    clock.start();
    qint64 starterEndedAt = -1;
    for (;;) {
        try {
            return Reference<uno::XComponentContext>(resolver->resolve(address), UNO_QUERY_THROW);
        } catch (const css::connection::NoConnectException&) {
        }
        if (starterEndedAt < 0 && starterGone())
            starterEndedAt = clock.elapsed();
        if ((starterEndedAt >= 0 && clock.elapsed() - starterEndedAt > kAfterStarterEndedMs) ||
            clock.elapsed() > CalcSpreadsheet::kStartTimeoutMs)
            throw Failure(QStringLiteral("LibreOffice Calc did not start."));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

Reference<css::frame::XModel> newHiddenSheet(const Reference<uno::XComponentContext>& office)
{
    const Reference<css::frame::XDesktop2> desktop = css::frame::Desktop::create(office);
    uno::Sequence<css::beans::PropertyValue> arguments(1);
    arguments.getArray()[0].Name = "Hidden";
    arguments.getArray()[0].Value <<= true;
    const Reference<css::lang::XComponent> component =
        desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0, arguments);
    const Reference<css::sheet::XSpreadsheetDocument> sheets(component, UNO_QUERY);
    if (!sheets.is())
        throw Failure(QStringLiteral("LibreOffice could not open a new spreadsheet."));
    return Reference<css::frame::XModel>(component, UNO_QUERY_THROW);
}

/// The probes' offices still running, so that they end with the program even when it is
/// closed in the middle of a probe.
class RunningProbes
{
public:
    static RunningProbes& instance()
    {
        static RunningProbes probes;
        return probes;
    }
    void add(pid_t group, const QString& profile)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_probes.push_back({group, QFile::encodeName(profile).toStdString()});
        static const bool registered = std::at_quick_exit(endAll) == 0;
        Q_UNUSED(registered)
    }
    void remove(pid_t group)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_probes.erase(std::remove_if(m_probes.begin(), m_probes.end(),
                                      [group](const Probe& p) { return p.group == group; }),
                       m_probes.end());
    }

private:
    struct Probe
    {
        pid_t group;
        std::string profile;
    };
    static void endAll()
    {
        RunningProbes& probes = instance();
        const std::lock_guard<std::mutex> lock(probes.m_mutex);
        for (const Probe& probe : probes.m_probes) {
            ::kill(-probe.group, SIGKILL);
            QDir(QFile::decodeName(probe.profile.c_str())).removeRecursively();
        }
        probes.m_probes.clear();
    }
    std::mutex m_mutex;
    std::vector<Probe> m_probes;
};

bool processGone(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

CalcSpreadsheet::CalcSpreadsheet(QString programFolder) : m_programFolder(std::move(programFolder))
{
}

QString CalcSpreadsheet::defaultProgramFolder()
{
    const QString configured = qEnvironmentVariable("UNO_PATH");
    return configured.isEmpty() ? QStringLiteral("/usr/lib/libreoffice/program") : configured;
}

QString CalcSpreadsheet::probePipePrefix()
{
    return QStringLiteral("tagsifter_probe_%1_").arg(QCoreApplication::applicationPid());
}

QString CalcSpreadsheet::sofficePath() const
{
    return m_programFolder + QStringLiteral("/soffice");
}

Reference<uno::XComponentContext> CalcSpreadsheet::localContext()
{
    if (!m_local.is()) {
        const QString ini =
            m_programFolder + QStringLiteral("/") + QStringLiteral(SAL_CONFIGFILE("fundamental"));
        if (!QFileInfo::exists(ini) || !QFileInfo(sofficePath()).isExecutable())
            throw Failure(
                QStringLiteral("LibreOffice Calc is not installed in %1.").arg(m_programFolder));
        // The office's own bootstrap file names every type library, the office API's too.
        if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP", QByteArray("vnd.sun.star.pathname:") + QFile::encodeName(ini));
        unoCalls([&] { m_local = cppu::defaultBootstrap_InitialComponentContext(); });
    }
    return m_local;
}

namespace {

/// Starts an invisible office with the throw-away `profile`, listening on `pipe`, in a process
/// group of its own so that the office's own children end with it. `ended` is set once the
/// started process is gone.
void startProbeOffice(QProcess& office, const QString& soffice, const QString& profile,
                      const QString& pipe, std::atomic<bool>& ended)
{
    office.setStandardOutputFile(QProcess::nullDevice());
    office.setStandardErrorFile(QProcess::nullDevice());
    office.setChildProcessModifier([] { ::setsid(); });
    QObject::connect(&office, &QProcess::finished, [&] { ended = true; });
    QObject::connect(&office, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended = true;
    });
    office.start(soffice, {QStringLiteral("--headless"), QStringLiteral("--invisible"),
                           QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                           QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"),
                           QStringLiteral("-env:UserInstallation=") +
                               QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
                           QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe)});
}

/// Opens a hidden sheet in the office on `pipe`, closes it and ends that office; true when the
/// sheet opened.
bool openSheetAndEnd(const Reference<uno::XComponentContext>& local, const QString& pipe,
                     const std::atomic<bool>& ended)
{
    bool opened = false;
    try {
        whileAnswering([&] {
            unoCalls([&] {
                const Reference<uno::XComponentContext> context =
                    connectTo(local, pipe, [&] { return ended.load(); });
                const Reference<css::frame::XModel> sheet = newHiddenSheet(context);
                opened = true;
                const Reference<css::util::XCloseable> closeable(sheet, UNO_QUERY);
                if (closeable.is())
                    closeable->close(true);
                try {
                    css::frame::Desktop::create(context)->terminate();
                } catch (const uno::RuntimeException&) {
                    // The connection closes while the office ends.
                }
            });
        });
    } catch (const Failure&) {
        opened = false;
    }
    return opened;
}

/// Whatever happened, nothing of the probe's office outlives it.
void endProbeOffice(QProcess& office, qint64 group)
{
    QElapsedTimer clock;
    clock.start();
    while (office.state() != QProcess::NotRunning && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        office.waitForFinished(50);
    }
    if (group > 0) {
        if (::kill(-static_cast<pid_t>(group), 0) == 0)
            ::kill(-static_cast<pid_t>(group), SIGKILL);
        RunningProbes::instance().remove(static_cast<pid_t>(group));
    }
    office.waitForFinished(1000);
}

} // namespace

bool CalcSpreadsheet::probe()
{
    Reference<uno::XComponentContext> local;
    try {
        local = localContext();
    } catch (const Failure&) {
        return false;
    }
    QTemporaryDir profile;
    if (!profile.isValid())
        return false;
    const QString pipe = newPipeName(QStringLiteral("probe"));
    QProcess office;
    std::atomic<bool> ended{false};
    startProbeOffice(office, sofficePath(), profile.path(), pipe, ended);
    const qint64 group = office.processId();
    if (group > 0)
        RunningProbes::instance().add(static_cast<pid_t>(group), profile.path());
    const bool opened = openSheetAndEnd(local, pipe, ended);
    endProbeOffice(office, group);
    return opened;
}

std::unique_ptr<SpreadsheetDocument> CalcSpreadsheet::newDocument()
{
    const Reference<uno::XComponentContext> local = localContext();
    const QString pipe = newPipeName(QStringLiteral("export"));
    // Started like any office of the user's, and left running for the user afterwards.
    QProcess starter;
    starter.setProgram(sofficePath());
    starter.setArguments({QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                          QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"),
                          QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe)});
    starter.setStandardOutputFile(QProcess::nullDevice());
    starter.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!starter.startDetached(&pid))
        throw Failure(QStringLiteral("LibreOffice Calc could not be started: ") +
                      starter.errorString());
    std::unique_ptr<CalcDocument> document;
    whileAnswering([&] {
        unoCalls([&] {
            const Reference<uno::XComponentContext> context =
                connectTo(local, pipe, [pid] { return processGone(pid); });
            document = std::make_unique<CalcDocument>(newHiddenSheet(context));
        });
    });
    return document;
}

CalcDocument::CalcDocument(const Reference<css::frame::XModel>& model)
    : m_model(model), m_buffer([this](int firstRow, int firstColumn,
                                      const std::vector<std::vector<QString>>& rows) {
          writeBlock(firstRow, firstColumn, rows);
      })
{
    unoCalls([&] {
        const Reference<css::sheet::XSpreadsheetView> view(m_model->getCurrentController(),
                                                           UNO_QUERY_THROW);
        m_sheet = view->getActiveSheet();
    });
    if (!m_sheet.is())
        throw Failure(QStringLiteral("LibreOffice Calc has no active sheet."));
}

void CalcDocument::setCellText(int row, int column, const QString& text)
{
    m_buffer.set(row, column, text);
}

void CalcDocument::writeBlock(int firstRow, int firstColumn,
                              const std::vector<std::vector<QString>>& rows)
{
    if (rows.empty() || rows.front().empty())
        return;
    const auto width = static_cast<sal_Int32>(rows.front().size());
    const auto height = static_cast<sal_Int32>(rows.size());
    // Strings in a data array become text cells, exactly as typed: "=1+1" or "007" stay text.
    uno::Sequence<uno::Sequence<uno::Any>> data(height);
    for (sal_Int32 r = 0; r < height; ++r) {
        uno::Sequence<uno::Any> line(width);
        for (sal_Int32 c = 0; c < width; ++c)
            line.getArray()[c] <<= toUno(rows[static_cast<size_t>(r)][static_cast<size_t>(c)]);
        data.getArray()[r] = line;
    }
    unoCalls([&] {
        const Reference<css::sheet::XCellRangeData> range(
            m_sheet->getCellRangeByPosition(firstColumn - 1, firstRow - 1,
                                            firstColumn - 1 + width - 1, firstRow - 1 + height - 1),
            UNO_QUERY_THROW);
        range->setDataArray(data);
    });
}

void CalcDocument::fitColumns()
{
    m_buffer.flush();
    unoCalls([&] {
        const Reference<css::table::XColumnRowRange> ranges(m_sheet, UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> columns(ranges->getColumns(), UNO_QUERY_THROW);
        columns->setPropertyValue("OptimalWidth", uno::Any(true));
    });
}

void CalcDocument::show()
{
    m_buffer.flush();
    unoCalls([&] {
        const Reference<css::frame::XFrame> frame = m_model->getCurrentController()->getFrame();
        const Reference<css::awt::XWindow> window = frame->getContainerWindow();
        window->setVisible(true);
        const Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
        if (top.is())
            top->toFront();
    });
}

} // namespace tagsifter

extern "C" Q_DECL_EXPORT tagsifter::SpreadsheetService* tagsifter_make_calc_spreadsheet()
{
    return new tagsifter::CalcSpreadsheet();
}
