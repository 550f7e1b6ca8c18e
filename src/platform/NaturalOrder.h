#pragma once

#include <QString>

#include <string>

struct UCollator;

namespace tagsifter {

/// The order a person expects of the results' texts: one that begins with a number (a sign,
/// digits, a decimal fraction) sorts by that number, "9 mm" before "10 mm" and "-1" before
/// "0.5", and before every text that does not; ties and the rest compare in the locale given,
/// ignoring case, with the numbers inside a text ("IMG_9" before "IMG_10") as numbers.
class NaturalOrder
{
public:
    /// `locale` as ICU names it ("de_DE"); empty: the user's.
    explicit NaturalOrder(const QString& locale = QString());
    ~NaturalOrder();
    NaturalOrder(const NaturalOrder& other);
    NaturalOrder& operator=(const NaturalOrder&) = delete;

    /// Negative, zero or positive as `a` sorts before, with or after `b`.
    int compare(const QString& a, const QString& b) const;
    /// Appends the sort key of `text` to `key`: keys compared byte by byte (unsigned, a shorter
    /// key before a longer one it begins) order as compare() does.
    void appendKey(const QString& text, std::string& key) const;

private:
    UCollator* m_collator = nullptr;
};

} // namespace tagsifter
