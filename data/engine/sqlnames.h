#pragma once

#include <QString>

class Connection;

// A SELECT with its table and column names spelled as the database spells them, found without regard to
// letter case (Cyrillic included), and with text compared to quoted values or bound values ignoring letter
// case, as Jet compares it. String literals and comments are left alone.
QString rewriteSql(const Connection& connection, const QString& sql);
