-- The tests the server runs for the lab login: the questions it draws for each (вопросы_попытки), every
-- answer with whether it was right, and the grade by the topic's own boundaries over the questions drawn.
-- Run by `muzyka_server setup` after settings.sql, in the same transaction; running it again changes nothing
-- but the functions' bodies. The functions replace those of lab.sql of the same names.

SET LOCAL ROLE muzyka_owner;

ALTER TABLE muzyka."попытки"
    ADD COLUMN IF NOT EXISTS "осталось" integer,
    ADD COLUMN IF NOT EXISTS "состояние" integer NOT NULL DEFAULT 0;
-- Tests stored before the column was there are finished ones.
UPDATE muzyka."попытки" SET "состояние" = 1 WHERE "id_результата" IS NOT NULL AND "состояние" = 0;
ALTER TABLE muzyka."ответы_попытки"
    ADD COLUMN IF NOT EXISTS "id_ответа" integer,
    ADD COLUMN IF NOT EXISTS "верно" boolean,
    ADD COLUMN IF NOT EXISTS "время" timestamp with time zone DEFAULT pg_catalog.now();
CREATE TABLE IF NOT EXISTS muzyka."вопросы_попытки" (
    "id_попытки" integer NOT NULL REFERENCES muzyka."попытки" ("id_попытки") ON DELETE CASCADE,
    "номер" integer NOT NULL,
    "id_вопроса" integer NOT NULL,
    "порядок_ответов" text NOT NULL DEFAULT '',
    PRIMARY KEY ("id_попытки", "номер")
);

-- A test begun on a topic by the pupil signed in; its number. The server draws its questions now, by the
-- topic's settings: how many, in which order, each one's answers in which order. A test of his on the topic
-- that nobody ended (the program was killed, the computer lost power) is taken up again instead, on this
-- sign-in; one left for more than a day is closed as abandoned and stored as at its time-out.
CREATE OR REPLACE FUNCTION muzyka.start_test(p_topic integer) RETURNS integer
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    pupil integer := muzyka.session_pupil();
    attempt integer;
    wanted integer;
    shuffle_questions boolean := false;
    shuffle_answers boolean := false;
    old integer;
BEGIN
    IF pupil IS NULL THEN
        RAISE EXCEPTION 'тест начинают, войдя в программу.' USING ERRCODE = '42501';
    END IF;
    FOR old IN SELECT p."id_попытки" FROM muzyka."попытки" p
               WHERE p."id_ученика" = pupil AND p."состояние" = 0 AND p."id_результата" IS NULL
                 AND p."начало" < pg_catalog.now() - interval '1 day' LOOP
        UPDATE muzyka."попытки" SET "состояние" = 3 WHERE "id_попытки" = old;
        PERFORM muzyka.store_attempt(old, CURRENT_DATE);
    END LOOP;
    SELECT p."id_попытки" INTO attempt FROM muzyka."попытки" p
    WHERE p."id_ученика" = pupil AND p."id_темы" = p_topic AND p."состояние" = 0 AND p."id_результата" IS NULL
    ORDER BY p."id_попытки" DESC LIMIT 1;
    IF FOUND THEN
        UPDATE muzyka."попытки" SET "ключ_сеанса" = pg_catalog.current_setting('muzyka.session')
        WHERE "id_попытки" = attempt;
        RETURN attempt;
    END IF;
    INSERT INTO muzyka."попытки" ("ключ_сеанса", "id_ученика", "id_темы", "id_класса")
    SELECT pg_catalog.current_setting('muzyka.session'), pupil, p_topic, u."id_класса"
    FROM muzyka."Ученики" u WHERE u."id_ученика" = pupil
    RETURNING "id_попытки" INTO attempt;
    SELECT s."вопросов", COALESCE(s."перемешать_вопросы", false), COALESCE(s."перемешать_ответы", false)
    INTO wanted, shuffle_questions, shuffle_answers
    FROM muzyka."НастройкиТемы" s WHERE s."id_темы" = p_topic;
    INSERT INTO muzyka."вопросы_попытки" ("id_попытки", "номер", "id_вопроса", "порядок_ответов")
    SELECT attempt,
           pg_catalog.row_number() OVER (ORDER BY CASE WHEN shuffle_questions THEN pg_catalog.random() END,
                                                  d.question),
           d.question,
           CASE WHEN shuffle_answers
                THEN COALESCE((SELECT pg_catalog.string_agg(o."id_ответа"::text, ',' ORDER BY pg_catalog.random())
                               FROM muzyka."Ответы" o WHERE o."id_вопроса" = d.question), '')
                ELSE '' END
    FROM (SELECT q."id_вопроса" AS question FROM muzyka."Вопрос" q WHERE q."id_темы" = p_topic
          ORDER BY pg_catalog.random() LIMIT wanted) d;
    RETURN attempt;
END
$$;

-- The questions drawn for the pupil's own test, in the order he gets them, with the order of the answers,
-- whether each was answered, and the seconds left at the last answer (null before one).
CREATE OR REPLACE FUNCTION muzyka.test_questions(p_attempt integer)
RETURNS TABLE (question integer, answers text, answered boolean, seconds_left integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    a muzyka."попытки" := muzyka.own_attempt(p_attempt);
BEGIN
    RETURN QUERY SELECT d."id_вопроса", d."порядок_ответов",
                        EXISTS (SELECT FROM muzyka."ответы_попытки" c
                                WHERE c."id_попытки" = p_attempt AND c."id_вопроса" = d."id_вопроса"),
                        a."осталось"
                 FROM muzyka."вопросы_попытки" d WHERE d."id_попытки" = p_attempt ORDER BY d."номер";
END
$$;

-- The questions a test counts: those drawn for it (a test begun before draws: the topic's).
CREATE OR REPLACE FUNCTION muzyka.attempt_questions(p_attempt integer, p_topic integer) RETURNS integer
LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
    SELECT CASE WHEN EXISTS (SELECT FROM muzyka."вопросы_попытки" d WHERE d."id_попытки" = p_attempt)
                THEN (SELECT pg_catalog.count(*)::integer FROM muzyka."вопросы_попытки" d
                      WHERE d."id_попытки" = p_attempt)
                ELSE (SELECT pg_catalog.count(*)::integer FROM muzyka."Вопрос" q WHERE q."id_темы" = p_topic) END
$$;

-- Grades a test and stores its row: the correct answers counted as the program counts them (every answer of
-- the question with the chosen text that is correct), the grade by the topic's boundaries over the questions
-- of the test. Only the functions below call it.
CREATE OR REPLACE FUNCTION muzyka.store_attempt(p_attempt integer, p_day date)
RETURNS TABLE (points integer, grade integer)
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    a muzyka."попытки";
    correct integer;
    questions integer;
    percentage integer;
    pass3 integer := 66;
    pass4 integer := 76;
    pass5 integer := 86;
    mark integer;
    stored integer;
BEGIN
    SELECT * INTO STRICT a FROM muzyka."попытки" p WHERE p."id_попытки" = p_attempt FOR UPDATE;
    SELECT pg_catalog.count(*) INTO correct
    FROM muzyka."ответы_попытки" c
    JOIN muzyka."Ответы" o ON o."id_вопроса" = c."id_вопроса" AND o."ответ" = c."ответ" AND o."статус"
    WHERE c."id_попытки" = p_attempt;
    questions := muzyka.attempt_questions(p_attempt, a."id_темы");
    IF questions = 0 THEN
        RAISE EXCEPTION '%', CASE WHEN correct = 0 THEN 'Invalid floating point operation.'
                                  ELSE 'Floating point division by zero.' END USING ERRCODE = 'MZ004';
    END IF;
    -- A topic without settings keeps the defaults (a SELECT INTO that finds no row would make them null).
    SELECT COALESCE(s."порог3", pass3), COALESCE(s."порог4", pass4), COALESCE(s."порог5", pass5)
    INTO pass3, pass4, pass5
    FROM (SELECT) one LEFT JOIN muzyka."НастройкиТемы" s ON s."id_темы" = a."id_темы";
    percentage := pg_catalog.trunc(correct * 100.0 / questions);
    mark := CASE WHEN percentage < pass3 THEN 2 WHEN percentage < pass4 THEN 3
                 WHEN percentage < pass5 THEN 4 ELSE 5 END;
    INSERT INTO muzyka."результаты" ("Дата", "Баллы", "Оценка", "id_ученика", "id_темы", "id_класса")
    VALUES (p_day, correct::text, mark, a."id_ученика", a."id_темы", a."id_класса")
    RETURNING "id_результата" INTO stored;
    UPDATE muzyka."попытки" SET "id_результата" = stored,
        "состояние" = CASE WHEN "состояние" = 0 THEN 1 ELSE "состояние" END
    WHERE "id_попытки" = p_attempt;
    RETURN QUERY SELECT correct, mark;
END
$$;

-- One answer of a test, to a question drawn for it (the topic's, for a test begun before draws), with the
-- seconds left then; once every question has its answer, the test is graded and stored, and the correct
-- answers are the result (null before).
CREATE OR REPLACE FUNCTION muzyka.answer_question(p_attempt integer, p_question integer, p_answer text,
                                                  p_day date, p_left integer)
RETURNS integer
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    a muzyka."попытки" := muzyka.own_attempt(p_attempt);
    drawn boolean := EXISTS (SELECT FROM muzyka."вопросы_попытки" d WHERE d."id_попытки" = p_attempt);
    chosen integer;
    right_answer boolean;
    answered integer;
BEGIN
    IF drawn AND NOT EXISTS (SELECT FROM muzyka."вопросы_попытки" d
                             WHERE d."id_попытки" = p_attempt AND d."id_вопроса" = p_question)
       OR NOT drawn AND NOT EXISTS (SELECT FROM muzyka."Вопрос" q
                                    WHERE q."id_вопроса" = p_question AND q."id_темы" = a."id_темы") THEN
        RAISE EXCEPTION 'этого вопроса нет в теме теста.' USING ERRCODE = '42501';
    END IF;
    SELECT o."id_ответа", o."статус" INTO chosen, right_answer FROM muzyka."Ответы" o
    WHERE o."id_вопроса" = p_question AND o."ответ" = COALESCE(p_answer, '')
    ORDER BY o."статус" DESC, o."id_ответа" LIMIT 1;
    INSERT INTO muzyka."ответы_попытки" ("id_попытки", "id_вопроса", "ответ", "id_ответа", "верно", "время")
    VALUES (p_attempt, p_question, COALESCE(p_answer, ''), chosen, COALESCE(right_answer, false),
            pg_catalog.now())
    ON CONFLICT DO NOTHING;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'на этот вопрос уже дан ответ.' USING ERRCODE = '42501';
    END IF;
    UPDATE muzyka."попытки" SET "осталось" = COALESCE(p_left, "осталось") WHERE "id_попытки" = p_attempt;
    SELECT pg_catalog.count(*) INTO answered FROM muzyka."ответы_попытки" c WHERE c."id_попытки" = p_attempt;
    IF answered < muzyka.attempt_questions(p_attempt, a."id_темы") THEN
        RETURN NULL;
    END IF;
    RETURN (SELECT s.points FROM muzyka.store_attempt(p_attempt, p_day) s);
END
$$;

CREATE OR REPLACE FUNCTION muzyka.answer_question(p_attempt integer, p_question integer, p_answer text,
                                                  p_day date)
RETURNS integer
LANGUAGE sql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
    SELECT muzyka.answer_question(p_attempt, p_question, p_answer, p_day, NULL::integer)
$$;

-- How often the pupil has played each question's clip in a test, so that a clip limited to two plays is not
-- heard a third time after the program was killed and the test taken up again.
CREATE TABLE IF NOT EXISTS muzyka."прослушивания" (
    "id_попытки" integer NOT NULL REFERENCES muzyka."попытки" ("id_попытки") ON DELETE CASCADE,
    "id_вопроса" integer NOT NULL,
    "раз" integer NOT NULL,
    PRIMARY KEY ("id_попытки", "id_вопроса")
);

-- One more play of a question's clip in the pupil's own running test; the plays so far.
CREATE OR REPLACE FUNCTION muzyka.play_clip(p_attempt integer, p_question integer) RETURNS integer
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    a muzyka."попытки" := muzyka.own_attempt(p_attempt);
    times integer;
BEGIN
    INSERT INTO muzyka."прослушивания" AS p ("id_попытки", "id_вопроса", "раз") VALUES (a."id_попытки", p_question, 1)
    ON CONFLICT ("id_попытки", "id_вопроса") DO UPDATE SET "раз" = p."раз" + 1
    RETURNING p."раз" INTO times;
    RETURN times;
END
$$;

-- The plays of a question's clip in the pupil's own running test so far.
CREATE OR REPLACE FUNCTION muzyka.clip_plays(p_attempt integer, p_question integer) RETURNS integer
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    a muzyka."попытки" := muzyka.own_attempt(p_attempt);
BEGIN
    RETURN COALESCE((SELECT p."раз" FROM muzyka."прослушивания" p
                     WHERE p."id_попытки" = a."id_попытки" AND p."id_вопроса" = p_question), 0);
END
$$;

GRANT EXECUTE ON FUNCTION muzyka.start_test(integer), muzyka.test_questions(integer),
    muzyka.answer_question(integer, integer, text, date), muzyka.answer_question(integer, integer, text, date, integer),
    muzyka.play_clip(integer, integer), muzyka.clip_plays(integer, integer)
    TO muzyka_lab;
RESET ROLE;
