// mdb_import ACCESS_FILE SQLITE_FILE: converts a school's Access database (Jet 3, Jet 4 or ACE) into a new
// database file in the program's own format, the same conversion the program makes when it opens an Access
// file, and tells table by table what it carried over. An existing SQLITE_FILE is never replaced.

#include "data/access/conversion.h"

#include "base/failure.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

void say(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

QString columnList(const QStringList& columns) {
    return columns.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() != 2 || arguments.first().startsWith(u'-')) {
        say(stderr, QStringLiteral("Использование: mdb_import ФАЙЛ_ACCESS НОВЫЙ_ФАЙЛ_БАЗЫ"));
        return 2;
    }
    try {
        const accessdb::Report report =
            accessdb::convertFile(arguments[0], arguments[1], [](const accessdb::TableReport& table) {
                say(stdout, QStringLiteral("Таблица «%1»: столбцов %2, строк %3.")
                                .arg(table.name)
                                .arg(table.columns)
                                .arg(table.rows));
                return true;
            });
        for (const accessdb::Relation& relation : report.relations)
            say(stdout, QStringLiteral("Связь «%1» (%2) → «%3» (%4): %5.")
                            .arg(relation.table, columnList(relation.columns), relation.referenced,
                                 columnList(relation.referencedColumns),
                                 relation.cascadeDelete ? QStringLiteral("удаление каскадом")
                                                        : QStringLiteral("удаление запрещено")));
        for (const QString& sentence : report.notCarried)
            say(stdout, sentence);
        say(stdout, QStringLiteral("Готово: %1.").arg(accessdb::shownPath(arguments[1])));
    } catch (const Failure& failure) {
        say(stderr, QStringLiteral("mdb_import: ") + failure.text());
        return 1;
    }
    return 0;
}
