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

-- Everyone signed in reads them (a pupil's test shows them); a teacher writes them, everybody else is refused.
CREATE OR REPLACE VIEW muzyka_lab."МедиаВопроса" WITH (security_barrier) AS
    SELECT * FROM muzyka."МедиаВопроса"
    WHERE (SELECT muzyka.session_teacher()) OR (SELECT muzyka.session_pupil()) IS NOT NULL;

-- The row goes in as it comes. The lab's common trigger would turn it into JSON and back, and a clip of
-- megabytes would travel as hexadecimal text twice more: a bank of fifty sounds took seconds longer.
CREATE OR REPLACE FUNCTION muzyka_lab.write_media() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    PERFORM muzyka.require_teacher();
    IF TG_OP = 'DELETE' THEN
        DELETE FROM muzyka."МедиаВопроса" WHERE "id_вопроса" = OLD."id_вопроса";
        RETURN OLD;
    END IF;
    IF TG_OP = 'INSERT' THEN
        INSERT INTO muzyka."МедиаВопроса" VALUES (NEW.*);
    ELSE
        UPDATE muzyka."МедиаВопроса" SET ("id_вопроса", "картинка", "тип_картинки", "звук", "тип_звука",
                                          "начало", "конец", "прослушиваний", "abc") =
            (NEW."id_вопроса", NEW."картинка", NEW."тип_картинки", NEW."звук", NEW."тип_звука", NEW."начало",
             NEW."конец", NEW."прослушиваний", NEW."abc")
        WHERE "id_вопроса" = OLD."id_вопроса";
    END IF;
    RETURN NEW;
END
$$;
CREATE OR REPLACE TRIGGER "запись" INSTEAD OF INSERT OR UPDATE OR DELETE ON muzyka_lab."МедиаВопроса"
    FOR EACH ROW EXECUTE FUNCTION muzyka_lab.write_media();

GRANT SELECT, INSERT, UPDATE, DELETE ON muzyka_lab."МедиаВопроса" TO muzyka_lab;
RESET ROLE;
