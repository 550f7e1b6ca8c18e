#include "NaturalOrder.h"

#include <QLocale>

#include <unicode/ucol.h>

#include <cstring>

namespace tagsifter {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// How many characters of `text` make the number it begins with (0: it begins with none), and
// that number in `value`.
qsizetype leadingNumber(QStringView text, double& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (n > 0 && (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')))
        ++i;
    const qsizetype digits = i;
    while (i < n && isDigit(text[i]))
        ++i;
    if (i == digits)
        return 0;
    if (i + 1 < n && text[i] == QLatin1Char('.') && isDigit(text[i + 1])) {
        i += 2;
        while (i < n && isDigit(text[i]))
            ++i;
    }
    value = QLocale::c().toDouble(text.left(i));
    return i;
}

// The bytes of `value` in an order that unsigned byte comparison keeps.
void appendNumber(double value, std::string& key)
{
    if (value == 0)
        value = 0; // -0 and 0 are one number
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits = (bits >> 63) != 0 ? ~bits : bits | (quint64(1) << 63);
    for (int shift = 56; shift >= 0; shift -= 8)
        key.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

} // namespace

NaturalOrder::NaturalOrder(const QString& locale)
{
    const QByteArray name = (locale.isEmpty() ? QLocale::system().name() : locale).toUtf8();
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        m_collator = ucol_open("", &status);
    }
    // Secondary strength tells accents apart but not case.
    ucol_setStrength(m_collator, UCOL_SECONDARY);
    status = U_ZERO_ERROR;
    ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
}

NaturalOrder::NaturalOrder(const NaturalOrder& other)
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_clone(other.m_collator, &status);
}

NaturalOrder::~NaturalOrder()
{
    ucol_close(m_collator);
}

int NaturalOrder::compare(const QString& a, const QString& b) const
{
    std::string left, right;
    appendKey(a, left);
    appendKey(b, right);
    return left.compare(right);
}

void NaturalOrder::appendKey(const QString& text, std::string& key) const
{
    double number = 0;
    const qsizetype numberLength = leadingNumber(text, number);
    QStringView rest(text);
    if (numberLength > 0) {
        key.push_back('\x01');
        appendNumber(number, key);
        rest = rest.mid(numberLength);
    } else {
        key.push_back('\x02');
    }
    const auto* chars = reinterpret_cast<const UChar*>(rest.utf16());
    const auto length = static_cast<int32_t>(rest.size());
    uint8_t buffer[256];
    const int32_t needed = ucol_getSortKey(m_collator, chars, length, buffer, sizeof buffer);
    if (needed <= static_cast<int32_t>(sizeof buffer)) {
        key.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(needed));
        return;
    }
    const size_t at = key.size();
    key.resize(at + static_cast<size_t>(needed));
    ucol_getSortKey(m_collator, chars, length, reinterpret_cast<uint8_t*>(&key[at]), needed);
}

} // namespace tagsifter
