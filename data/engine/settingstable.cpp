#include "settingstable.h"

namespace settingstable {

const OwnTable& definition() {
    static const OwnTable own{table, {QStringLiteral(R"sql(CREATE TABLE IF NOT EXISTS "НастройкиТемы" (
    "id_темы" INTEGER PRIMARY KEY REFERENCES "Тема"("id_темы") ON DELETE CASCADE,
    "время" INTEGER,
    "вопросов" INTEGER,
    "перемешать_вопросы" INTEGER,
    "перемешать_ответы" INTEGER,
    "порог3" INTEGER,
    "порог4" INTEGER,
    "порог5" INTEGER,
    "разбор" INTEGER
))sql")}};
    return own;
}

} // namespace settingstable
