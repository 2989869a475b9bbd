#include "attemptstables.h"

namespace attemptstables {

const OwnTable& definition() {
    static const OwnTable own{attempts,
                              {QStringLiteral(R"sql(CREATE TABLE IF NOT EXISTS "попытки" (
    "id_попытки" INTEGER PRIMARY KEY AUTOINCREMENT,
    "id_ученика" INTEGER,
    "id_темы" INTEGER,
    "id_класса" INTEGER,
    "начало" TEXT,
    "осталось" INTEGER,
    "состояние" INTEGER NOT NULL DEFAULT 0,
    "id_результата" INTEGER
))sql"),
                               QStringLiteral(R"sql(CREATE INDEX IF NOT EXISTS "попытки_ученик"
    ON "попытки"("id_ученика", "состояние"))sql"),
                               QStringLiteral(R"sql(CREATE TABLE IF NOT EXISTS "вопросы_попытки" (
    "id_попытки" INTEGER NOT NULL REFERENCES "попытки"("id_попытки") ON DELETE CASCADE,
    "номер" INTEGER NOT NULL,
    "id_вопроса" INTEGER NOT NULL,
    "порядок_ответов" TEXT NOT NULL DEFAULT '',
    PRIMARY KEY ("id_попытки", "номер")
))sql"),
                               QStringLiteral(R"sql(CREATE TABLE IF NOT EXISTS "ответы_попытки" (
    "id_попытки" INTEGER NOT NULL REFERENCES "попытки"("id_попытки") ON DELETE CASCADE,
    "id_вопроса" INTEGER NOT NULL,
    "id_ответа" INTEGER,
    "ответ" TEXT,
    "верно" INTEGER,
    "время" TEXT,
    PRIMARY KEY ("id_попытки", "id_вопроса")
))sql")}};
    return own;
}

const OwnTable& playsDefinition() {
    static const OwnTable own{plays, {QStringLiteral(R"sql(CREATE TABLE IF NOT EXISTS "прослушивания" (
    "id_попытки" INTEGER NOT NULL REFERENCES "попытки"("id_попытки") ON DELETE CASCADE,
    "id_вопроса" INTEGER NOT NULL,
    "раз" INTEGER NOT NULL,
    PRIMARY KEY ("id_попытки", "id_вопроса")
))sql")}};
    return own;
}

} // namespace attemptstables
