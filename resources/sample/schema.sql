-- The six tables of the school's database. Column kinds: INTEGER PRIMARY KEY is an autoincrement key,
-- VARCHAR text, INTEGER a whole number, BOOLEAN a yes/no flag stored as 0/1, DATETIME ISO-8601 text.
-- Deleting a question deletes its answers; a topic with questions cannot be deleted; results keep the keys
-- of deleted pupils and topics.
CREATE TABLE "класс" (
    "id_класса" INTEGER PRIMARY KEY AUTOINCREMENT,
    "класс" VARCHAR(255)
);
CREATE TABLE "Ученики" (
    "id_ученика" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Имя" VARCHAR(255),
    "Фамилия" VARCHAR(255),
    "Отчество" VARCHAR(255),
    "id_класса" INTEGER REFERENCES "класс"("id_класса") ON DELETE RESTRICT,
    "ключ" VARCHAR(255),
    "права" BOOLEAN DEFAULT 0
);
CREATE TABLE "Тема" (
    "id_темы" INTEGER PRIMARY KEY AUTOINCREMENT,
    "тема" VARCHAR(255)
);
CREATE TABLE "Вопрос" (
    "id_вопроса" INTEGER PRIMARY KEY AUTOINCREMENT,
    "вопрос" VARCHAR(255),
    "id_темы" INTEGER REFERENCES "Тема"("id_темы") ON DELETE RESTRICT
);
CREATE TABLE "Ответы" (
    "id_ответа" INTEGER PRIMARY KEY AUTOINCREMENT,
    "ответ" VARCHAR(255),
    "id_вопроса" INTEGER REFERENCES "Вопрос"("id_вопроса") ON DELETE CASCADE,
    "статус" BOOLEAN DEFAULT 0
);
CREATE TABLE "результаты" (
    "id_результата" INTEGER PRIMARY KEY AUTOINCREMENT,
    "Дата" DATETIME,
    "Баллы" VARCHAR(255),
    "Оценка" INTEGER,
    "id_ученика" INTEGER,
    "id_темы" INTEGER,
    "id_класса" INTEGER
);
CREATE INDEX "Вопрос_тема" ON "Вопрос"("id_темы");
CREATE INDEX "Ответы_вопрос" ON "Ответы"("id_вопроса");
