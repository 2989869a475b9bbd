// mdb_import [--code-page N] ACCESS_FILE SQLITE_FILE: converts a school's Access database (Jet 3, Jet 4 or
// ACE) into a new database file in the program's own format, the same conversion the program makes when it
// opens an Access file, and tells table by table what it carried over. An existing SQLITE_FILE is never
// replaced. N is the Windows code page of a Jet 3 file's text (docs/database.md).
//
// The program and this tool run the conversion itself in a child, "mdb_import --child ACCESS_FILE N",
// bounded in time and memory (data/access/converter.h).

#include "data/access/converter.h"

#include "base/failure.h"
#include "base/tool.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

using tool::say;

QString columnList(const QStringList& columns) {
    return columns.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() == 3 && arguments.first() == QLatin1String("--child"))
        return accessdb::runConverterChild(arguments[1], arguments[2].toInt());
    int codePage = 0;
    if (arguments.size() == 4 && arguments.first() == QLatin1String("--code-page")) {
        bool number = false;
        codePage = arguments[1].toInt(&number);
        if (!number || !accessdb::knownCodePage(codePage)) {
            say(stderr,
                QStringLiteral("mdb_import: кодовая страница «%1» не поддерживается; можно указать 874, "
                               "932, 936, 950, 951 или от 1250 до 1258.")
                    .arg(arguments[1]));
            return 2;
        }
        arguments = arguments.mid(2);
    }
    if (arguments.size() != 2 || arguments.first().startsWith(u'-')) {
        say(stderr,
            QStringLiteral("Использование: mdb_import [--code-page НОМЕР] ФАЙЛ_ACCESS НОВЫЙ_ФАЙЛ_БАЗЫ"));
        return 2;
    }
    try {
        const accessdb::Report report = accessdb::convertFile(arguments[0], arguments[1], codePage);
        for (const accessdb::TableReport& table : report.tables)
            say(stdout, QStringLiteral("Таблица «%1»: столбцов %2, строк %3.")
                            .arg(table.name)
                            .arg(table.columns)
                            .arg(table.rows));
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
