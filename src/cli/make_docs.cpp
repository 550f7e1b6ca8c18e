// Writes what the build makes from the option table: `make_docs man TEMPLATE OUT`,
// `make_docs bash|zsh|fish OUT`.
#include "ShellDocs.h"

#include <QFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace tagsifter;
    const QByteArray kind = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const int outAt = kind == "man" ? 3 : 2;
    if (argc != outAt + 1) {
        std::fputs("usage: make_docs man TEMPLATE OUT | make_docs bash|zsh|fish OUT\n", stderr);
        return 2;
    }
    QString text;
    if (kind == "man") {
        QFile page(QString::fromLocal8Bit(argv[2]));
        if (!page.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make_docs: %s: cannot be read\n", argv[2]);
            return 1;
        }
        text = ShellDocs::manualPage(QString::fromUtf8(page.readAll()));
    } else if (kind == "bash") {
        text = ShellDocs::bashCompletion();
    } else if (kind == "zsh") {
        text = ShellDocs::zshCompletion();
    } else if (kind == "fish") {
        text = ShellDocs::fishCompletion();
    } else {
        std::fprintf(stderr, "make_docs: unknown kind '%s'\n", argv[1]);
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[outAt]));
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.flush()) {
        std::fprintf(stderr, "make_docs: %s: cannot be written\n", argv[outAt]);
        return 1;
    }
    return 0;
}
