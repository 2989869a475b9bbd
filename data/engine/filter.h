#pragma once

#include "field.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct Column;

// A table object's filter text, parsed once and tested against each row. The grammar:
//   expression := term { OR term }        term := factor { AND factor }
//   factor     := NOT factor | "(" expression ")" | field [ comparison ]
//   comparison := ( "=" | "<>" | "!=" | "<" | ">" | "<=" | ">=" ) operand | [NOT] LIKE 'pattern'
//               | IS [NOT] NULL
//   field      := name | [any name]
//   operand    := field | 'text' (doubled '' inside) | "text" | number | TRUE | FALSE | NULL
// Field names ignore letter case; text compares ignoring letter case. A yes/no field alone is a test.
// A quoted value compared with an integer, yes/no or date-time field is read as that kind's typed text.
// LIKE takes "*" or "%" for any run of characters. Comparisons with null are neither true nor false.
namespace filter {

struct FieldInfo {
    int pos = -1;
    FieldKind kind = FieldKind::Text;
    QString name;
};

// Reads the rows being filtered: stored fields straight from their columns, others (lookups) by value.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const Column* column(int pos) const = 0; // nullptr for a field with no stored column
    virtual QVariant value(int row, int pos) const = 0;
};

class Node;

// Text as one quoted value of a filter expression ('text', an apostrophe inside doubled), so that whatever is
// typed stays one value.
QString quotedValue(const QString& text);

class Expression {
public:
    // Throws Failure with an unprefixed text for a malformed expression or an unknown field.
    Expression(const QString& text, const std::function<FieldInfo(const QString&)>& resolve);
    ~Expression();
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;

    bool isEmpty() const { return !m_root; }
    bool matches(const RowSource& rows, int row) const;

private:
    std::unique_ptr<Node> m_root;
};

} // namespace filter
