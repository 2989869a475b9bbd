-- A question's picture and sound (docs/database.md). Run by `muzyka_server setup` after objects.sql and
-- lab.sql, in the same transaction; running it again changes nothing.

SET LOCAL ROLE muzyka_owner;

CREATE TABLE IF NOT EXISTS muzyka."МедиаВопроса" (
    "id_вопроса" integer PRIMARY KEY REFERENCES muzyka."Вопрос" ("id_вопроса") ON DELETE CASCADE,
    "картинка" bytea,
    "тип_картинки" text,
    "звук" bytea,
    "тип_звука" text,
    "начало" double precision,
    "конец" double precision,
    "прослушиваний" integer,
    "abc" text
);

-- Everyone signed in reads them (a pupil's test shows them); a teacher writes them through the lab's common
-- trigger, which refuses everybody else.
CREATE OR REPLACE VIEW muzyka_lab."МедиаВопроса" WITH (security_barrier) AS
    SELECT * FROM muzyka."МедиаВопроса"
    WHERE (SELECT muzyka.session_teacher()) OR (SELECT muzyka.session_pupil()) IS NOT NULL;
CREATE OR REPLACE TRIGGER "запись" INSTEAD OF INSERT OR UPDATE OR DELETE ON muzyka_lab."МедиаВопроса"
    FOR EACH ROW EXECUTE FUNCTION muzyka_lab.write();

GRANT SELECT, INSERT, UPDATE, DELETE ON muzyka_lab."МедиаВопроса" TO muzyka_lab;
RESET ROLE;
