#pragma once

#include <QString>

// The database's six tables and their columns, as the program's file, the Access import and the windows spell
// them, and the field positions that handlers read by number. One place, so that a misspelt name is a compile
// error and not a failure at run time.
namespace schema {

// The column names that several tables share (the keys that link them).
inline const QString classKey = QStringLiteral("id_класса");
inline const QString pupilKey = QStringLiteral("id_ученика");
inline const QString topicKey = QStringLiteral("id_темы");
inline const QString questionKey = QStringLiteral("id_вопроса");

namespace classes {
inline const QString table = QStringLiteral("класс");
inline const QString key = classKey;
inline const QString name = QStringLiteral("класс");
} // namespace classes

namespace pupils {
inline const QString table = QStringLiteral("Ученики");
inline const QString key = pupilKey;
inline const QString firstName = QStringLiteral("Имя");
inline const QString surname = QStringLiteral("Фамилия");
inline const QString patronymic = QStringLiteral("Отчество");
inline const QString classKey = schema::classKey;
inline const QString password = QStringLiteral("ключ");
inline const QString rights = QStringLiteral("права");
// The lookup field of the class's name.
inline const QString className = QStringLiteral("Класс");
// Positions in ych's field list that the sign-in reads by number.
constexpr int passwordPos = 5;
constexpr int rightsPos = 6;
} // namespace pupils

namespace topics {
inline const QString table = QStringLiteral("Тема");
inline const QString key = topicKey;
inline const QString name = QStringLiteral("тема");
} // namespace topics

namespace questions {
inline const QString table = QStringLiteral("Вопрос");
inline const QString key = questionKey;
inline const QString text = QStringLiteral("вопрос");
inline const QString topicKey = schema::topicKey;
} // namespace questions

namespace answers {
inline const QString table = QStringLiteral("Ответы");
inline const QString key = QStringLiteral("id_ответа");
inline const QString text = QStringLiteral("ответ");
inline const QString questionKey = schema::questionKey;
inline const QString correct = QStringLiteral("статус");
} // namespace answers

namespace results {
inline const QString table = QStringLiteral("результаты");
inline const QString key = QStringLiteral("id_результата");
inline const QString date = QStringLiteral("Дата");
inline const QString points = QStringLiteral("Баллы");
inline const QString grade = QStringLiteral("Оценка");
inline const QString pupilKey = schema::pupilKey;
inline const QString topicKey = schema::topicKey;
inline const QString classKey = schema::classKey;
// The lookup fields that show the pupil, the class and the topic by name.
inline const QString surname = QStringLiteral("Фамилия");
inline const QString firstName = QStringLiteral("Имя");
inline const QString className = QStringLiteral("Класс");
inline const QString topicName = QStringLiteral("Тема");
} // namespace results

} // namespace schema
