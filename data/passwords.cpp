#include "passwords.h"

#include <QRegularExpression>

#include <crypt.h>

#include <cstring>
#include <memory>

namespace passwords {

bool matches(const QString& typed, const QString& stored) {
    static const QRegularExpression bcrypt(QStringLiteral("^\\$2[abxy]\\$[0-9]{2}\\$[./A-Za-z0-9]{53}$"));
    if (!bcrypt.match(stored).hasMatch())
        return typed == stored;
    const QByteArray hash = stored.toLatin1();
    const auto data = std::make_unique<crypt_data>();
    const char* computed = crypt_r(typed.toUtf8().constData(), hash.constData(), data.get());
    return computed && std::strcmp(computed, hash.constData()) == 0;
}

} // namespace passwords
