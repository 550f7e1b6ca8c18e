#include "core/ErrorReport.h"

#include "core/Failure.h"

#include <utility>

namespace tagsifter {

ErrorReport::ErrorReport(MessageBoxService& messages, QString location)
    : m_handler(
          [&messages, location = std::move(location)](int line, const QString& description, int) {
              messages.show(text(description, location, line), MessageFlags::Exclamation,
                            tr("Application Error"));
          })
{
}

ErrorReport::ErrorReport(Handler handler) : m_handler(std::move(handler)) {}

QString ErrorReport::formLocation(const QString& procedure)
{
    return QStringLiteral("Tagsift2021/08/31.Form1.") + procedure;
}

QString ErrorReport::supportAddress()
{
    return QStringLiteral("support@brimvale.example");
}

QString ErrorReport::text(const QString& description, const QString& location, int line)
{
    return description + QLatin1String("\r\n") + tr("in ") + location + QLatin1Char(' ') +
           tr("at line ") + QString::number(line) + QLatin1String("\r\r") +
           tr("Please email screenshot of this message to ") + supportAddress();
}

void ErrorReport::report(int number, std::exception_ptr failure)
{
    QString description;
    int code = 0;
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const Failure& known) {
        description = known.description();
        code = known.code();
    } catch (const std::exception& other) {
        description = QString::fromLocal8Bit(other.what());
    } catch (...) {
        description = tr("Unexpected failure");
    }
    ++m_reports;
    m_handler(number, description, code);
}

} // namespace tagsifter
