#include "support/QtPrinters.h"

void PrintTo(const QString& text, std::ostream* out) {
    QString shown = text;
    shown.replace(QChar(u'\0'), QStringLiteral("\\0"));
    *out << '"' << shown.toStdString() << '"';
}

void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0) *out << ", ";
        PrintTo(texts.at(i), out);
    }
    *out << '}';
}
