#pragma once

#include "owntable.h"

// НастройкиТемы: how the test of a topic goes, one row per topic; a topic without a row, or a column left
// null, goes as it always did (docs/database.md).
namespace settingstable {

inline const QString table = QStringLiteral("НастройкиТемы");
inline const QString topic = QStringLiteral("id_темы");
inline const QString seconds = QStringLiteral("время");
inline const QString questions = QStringLiteral("вопросов");
inline const QString shuffleQuestions = QStringLiteral("перемешать_вопросы");
inline const QString shuffleAnswers = QStringLiteral("перемешать_ответы");
inline const QString pass3 = QStringLiteral("порог3");
inline const QString pass4 = QStringLiteral("порог4");
inline const QString pass5 = QStringLiteral("порог5");
inline const QString review = QStringLiteral("разбор");

const OwnTable& definition();

} // namespace settingstable
