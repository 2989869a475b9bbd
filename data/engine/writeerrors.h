#pragma once

#include "backend.h"

#include <QHash>
#include <QString>
#include <QVariant>

class Connection;

// Why the database refused to store or delete a row of `realTable`, in words a teacher understands (the
// table that still refers to the row, the field whose value is missing or repeated); `key` is the row
// deleted, `values` the columns a post wrote.
QString explainRefusal(const Connection& connection, const QString& realTable,
                       const backend::Refusal& refusal, bool deleting, qint64 key,
                       const QHash<QString, QVariant>& values = {});
