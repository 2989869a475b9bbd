#include "logtables.h"

QString logTablesSql() {
    return QStringLiteral(R"sql(
CREATE TABLE IF NOT EXISTS "НастройкиТемы" (
    "id_темы" INTEGER PRIMARY KEY REFERENCES "Тема" ("id_темы") ON DELETE CASCADE,
    "время" INTEGER, "вопросов" INTEGER, "перемешать_вопросы" INTEGER, "перемешать_ответы" INTEGER,
    "порог3" INTEGER, "порог4" INTEGER, "порог5" INTEGER, "разбор" INTEGER);
CREATE TABLE IF NOT EXISTS "попытки" (
    "id_попытки" INTEGER PRIMARY KEY, "id_ученика" INTEGER, "id_темы" INTEGER, "id_класса" INTEGER,
    "начало" TEXT, "осталось" INTEGER, "состояние" INTEGER, "id_результата" INTEGER);
CREATE TABLE IF NOT EXISTS "вопросы_попытки" (
    "id_попытки" INTEGER NOT NULL, "номер" INTEGER NOT NULL, "id_вопроса" INTEGER, "порядок_ответов" TEXT,
    PRIMARY KEY ("id_попытки", "номер"));
CREATE TABLE IF NOT EXISTS "ответы_попытки" (
    "id_попытки" INTEGER NOT NULL, "id_вопроса" INTEGER NOT NULL, "id_ответа" INTEGER, "ответ" TEXT,
    "верно" INTEGER, "время" TEXT, PRIMARY KEY ("id_попытки", "id_вопроса"));
)sql");
}
