#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable GoogleTest failure output for Qt text types (found by argument-dependent lookup).
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& texts, std::ostream* out);
