#include "labdatabase.h"

#include "data/datamodule.h"
#include "data/engine/serveraddress.h"
#include "tests/support/pgserver.h"
#include "tools/server/transfer.h"

#include <QSqlDatabase>

#include <cstdio>

LabDatabase labDatabase(PrivateServer& server, const QString& file) {
    LabDatabase lab{server.createDatabase(), {}};
    {
        QSqlDatabase db = openServer(ServerAddress::parse(server.adminUri(lab.name)), lab.name);
        std::printf("  %s\n", qPrintable(transfer::setUp(db, lab.name, file, false)));
        lab.labUri =
            server.uri(QStringLiteral("muzyka_lab"), transfer::newLabPassword(db, lab.name), lab.name);
        db.close();
    }
    QSqlDatabase::removeDatabase(lab.name);
    return lab;
}

void makeDurable(PrivateServer& server) {
    for (const char* setting : {"fsync", "synchronous_commit", "full_page_writes"})
        server.exec(QStringLiteral("postgres"),
                    QStringLiteral("ALTER SYSTEM SET %1 = on").arg(QLatin1String(setting)));
    server.stop();
    if (!server.start())
        qFatal("the server did not come back: %s", qPrintable(server.failure()));
}

LabDatabase pupilOnLab(PrivateServer& server, const QString& file, const QString& surname,
                       const QString& password) {
    makeDurable(server);
    LabDatabase lab = labDatabase(server, file);
    qputenv("MUZYKA_SERVER", lab.labUri.toUtf8());
    DataModule11 = new TDataModule11;
    if (DataModule11->signInBySurname(surname, password) != TDataModule11::SignIn::Signed)
        qFatal("the pupil cannot sign in on the lab login");
    return lab;
}
