#pragma once

#include <QString>
#include <stdexcept>

namespace tagsifter {

/// A failing statement: the description is what the error report shows. `code` keeps the
/// classic error numbers where callers tell failures apart (70 permission denied, 76 not found).
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString& description, int code = 0)
        : std::runtime_error(description.toStdString()), m_description(description), m_code(code)
    {
    }
    const QString& description() const { return m_description; }
    int code() const { return m_code; }

private:
    QString m_description;
    int m_code;
};

namespace ErrorCode {
constexpr int PermissionDenied = 70;
constexpr int PathNotFound = 76;
constexpr int SubscriptOutOfRange = 9;
constexpr int ObjectVariableNotSet = 91;
} // namespace ErrorCode

} // namespace tagsifter
