-- How the test of each topic goes (docs/database.md, НастройкиТемы). Run by `muzyka_server setup` after
-- lab.sql, in the same transaction; running it again changes nothing.

SET LOCAL ROLE muzyka_owner;

CREATE TABLE IF NOT EXISTS muzyka."НастройкиТемы" (
    "id_темы" integer PRIMARY KEY REFERENCES muzyka."Тема" ("id_темы") ON DELETE CASCADE,
    "время" integer,
    "вопросов" integer,
    "перемешать_вопросы" boolean,
    "перемешать_ответы" boolean,
    "порог3" integer,
    "порог4" integer,
    "порог5" integer,
    "разбор" integer
);

-- The lab reads them (a pupil's test follows them); a teacher writes them, as the other tables.
CREATE OR REPLACE VIEW muzyka_lab."НастройкиТемы" AS SELECT * FROM muzyka."НастройкиТемы";
CREATE OR REPLACE TRIGGER "запись" INSTEAD OF INSERT OR UPDATE OR DELETE ON muzyka_lab."НастройкиТемы"
    FOR EACH ROW EXECUTE FUNCTION muzyka_lab.write();
GRANT SELECT, INSERT, UPDATE, DELETE ON muzyka_lab."НастройкиТемы" TO muzyka_lab;
RESET ROLE;
