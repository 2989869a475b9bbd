-- The review of a stored test for its pupil and the item analysis for a teacher (docs/server.md). Run by
-- `muzyka_server setup` after the scripts that make the log of answers and the topics' settings, in the same
-- transaction; running it again changes nothing but the functions' bodies.
--
-- The lab login reads the log only through these functions, which run as the owner: a pupil gets his own
-- tests, with the marks and the correct answers only as far as the topic's "разбор" allows and nothing of a
-- topic whose test he has begun and not finished; the answers of every pupil go to a teacher only.

SET LOCAL ROLE muzyka_owner;

-- The log's tables are made by attempts.sql, which setup runs before this script; the topics' settings are
-- read where settings.sql made them.
CREATE INDEX IF NOT EXISTS "попытки_результат" ON muzyka."попытки" ("id_результата");
CREATE INDEX IF NOT EXISTS "попытки_тема" ON muzyka."попытки" ("id_темы");

-- The review of the result p_result: one row per question of its test in the order asked, then any answered
-- that the draw does not list. "верно" is given from level 1 on, "правильные" (the question's correct
-- answers) at level 2; a teacher gets level 2. MZ010: no log of that test; MZ011: the topic shows nothing;
-- MZ012: the pupil has a test of the topic begun and not finished.
CREATE OR REPLACE FUNCTION muzyka.review(p_result integer)
RETURNS TABLE ("разбор" integer, "номер" integer, "вопрос" text, "ответ" text, "верно" boolean,
               "правильные" text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    teacher boolean := muzyka.session_teacher();
    owner integer;
    a muzyka."попытки";
    level integer;
BEGIN
    SELECT r."id_ученика" INTO owner FROM muzyka."результаты" r WHERE r."id_результата" = p_result;
    IF NOT teacher AND owner IS DISTINCT FROM muzyka.session_pupil() THEN
        RAISE EXCEPTION 'разбор показывают только ученику, чей это результат.' USING ERRCODE = '42501';
    END IF;
    SELECT * INTO a FROM muzyka."попытки" p WHERE p."id_результата" = p_result;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'ответы этого теста не записаны.' USING ERRCODE = 'MZ010';
    END IF;
    IF teacher THEN
        level := 2;
    ELSE
        IF pg_catalog.to_regclass('muzyka."НастройкиТемы"') IS NOT NULL THEN
            EXECUTE 'SELECT s."разбор" FROM muzyka."НастройкиТемы" s WHERE s."id_темы" = $1'
                INTO level USING a."id_темы";
        END IF;
        level := COALESCE(level, 0);
        IF level <= 0 THEN
            RAISE EXCEPTION 'учитель не открыл разбор этой темы.' USING ERRCODE = 'MZ011';
        END IF;
        IF EXISTS (SELECT FROM muzyka."попытки" p WHERE p."id_ученика" = a."id_ученика"
                   AND p."id_темы" = a."id_темы" AND p."id_результата" IS NULL) THEN
            RAISE EXCEPTION 'тест по этой теме начат и не закончен.' USING ERRCODE = 'MZ012';
        END IF;
    END IF;
    RETURN QUERY
    WITH drawn AS (
        SELECT q."номер" AS n, q."id_вопроса" AS question FROM muzyka."вопросы_попытки" q
        WHERE q."id_попытки" = a."id_попытки"
    ), given AS (
        SELECT o."id_вопроса" AS question, o."ответ" AS answer, o."верно" AS correct, o."время" AS at
        FROM muzyka."ответы_попытки" o WHERE o."id_попытки" = a."id_попытки"
    ), items AS (
        SELECT d.n, NULL::timestamp with time zone AS at, d.question FROM drawn d
        UNION ALL
        SELECT NULL, g.at, g.question FROM given g
        WHERE NOT EXISTS (SELECT FROM drawn d WHERE d.question = g.question)
    )
    SELECT level,
           (pg_catalog.row_number() OVER (ORDER BY i.n NULLS LAST, i.at, i.question))::integer,
           COALESCE(v."вопрос", '(вопрос удалён)')::text,
           g.answer::text,
           CASE WHEN g.question IS NOT NULL THEN COALESCE(g.correct, false) END,
           CASE WHEN level >= 2 THEN
               COALESCE((SELECT pg_catalog.string_agg(o."ответ", '; ' ORDER BY o."id_ответа")
                         FROM muzyka."Ответы" o WHERE o."id_вопроса" = i.question AND o."статус"), '')
           END
    FROM items i
    LEFT JOIN given g ON g.question = i.question
    LEFT JOIN muzyka."Вопрос" v ON v."id_вопроса" = i.question
    ORDER BY 2;
END
$$;

-- Every logged answer of the topic's stored tests, for a teacher's item analysis.
CREATE OR REPLACE FUNCTION muzyka.topic_answers(p_topic integer)
RETURNS TABLE (attempt integer, question integer, answer integer, answer_text text, correct boolean)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF NOT muzyka.session_teacher() THEN
        RAISE EXCEPTION 'ответы всех учеников видит только учитель, вошедший в программу.' USING ERRCODE = '42501';
    END IF;
    RETURN QUERY
    SELECT o."id_попытки", o."id_вопроса", o."id_ответа", o."ответ"::text, COALESCE(o."верно", false)
    FROM muzyka."ответы_попытки" o JOIN muzyka."попытки" p ON p."id_попытки" = o."id_попытки"
    WHERE p."id_темы" = p_topic AND p."id_результата" IS NOT NULL;
END
$$;

GRANT EXECUTE ON FUNCTION muzyka.review(integer), muzyka.topic_answers(integer) TO muzyka_lab;
RESET ROLE;
