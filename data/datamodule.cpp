#include "datamodule.h"

#include "base/failure.h"
#include "data/engine/connection.h"
#include "data/engine/datasource.h"
#include "data/engine/query.h"
#include "data/engine/table.h"
#include "ui/dialogs.h"

#include <QStringList>

TDataModule11* DataModule11 = nullptr;

TDataModule11::TDataModule11(QObject* parent, Open open) : QObject(parent) {
    setObjectName(QStringLiteral("DataModule11"));
    ADOConnection1 = new Connection(QStringLiteral("ADOConnection1"), this);
    ADOConnection1->setConnectionString(defaultConnectionString());
    connect(ADOConnection1, &Connection::cannotWrite, this, [](const QString& text) { reportFailure(text); });
    // A school's Access file is converted at its first opening; the user learns once where each file is.
    connect(ADOConnection1, &Connection::converted, this,
            [](const QString& notice) { dialogs().message(notice); });

    const auto table = [this](const char* name, const QString& tableName) {
        return new Table(QString::fromLatin1(name), ADOConnection1, tableName, this);
    };
    ych = table("ych", QStringLiteral("Ученики"));
    klass = table("klass", QStringLiteral("класс"));
    tema = table("tema", QStringLiteral("Тема"));
    quest = table("quest", QStringLiteral("Вопрос"));
    ans = table("ans", QStringLiteral("Ответы"));
    rez = table("rez", QStringLiteral("результаты"));

    using K = FieldKind;
    ych->addField(makeHiddenField(QStringLiteral("id_ученика"), K::AutoInc));
    ych->addField(makeField(QStringLiteral("Имя"), K::Text, 15));
    ych->addField(makeField(QStringLiteral("Фамилия"), K::Text, 20));
    ych->addField(makeField(QStringLiteral("Отчество"), K::Text, 20));
    ych->addField(makeHiddenField(QStringLiteral("id_класса"), K::Integer));
    ych->addField(makeField(QStringLiteral("ключ"), K::Text, 10));
    ych->addField(makeField(QStringLiteral("права"), K::Boolean));
    ych->addField(makeLookupField(QStringLiteral("Класс"), QStringLiteral("id_класса"), klass,
                                  QStringLiteral("класс")));

    klass->addField(makeHiddenField(QStringLiteral("id_класса"), K::AutoInc));
    klass->addField(makeField(QStringLiteral("класс"), K::Text));

    tema->addField(makeHiddenField(QStringLiteral("id_темы"), K::AutoInc));
    tema->addField(makeField(QStringLiteral("тема"), K::Text, 20));

    quest->addField(makeHiddenField(QStringLiteral("id_вопроса"), K::AutoInc));
    quest->addField(makeField(QStringLiteral("вопрос"), K::Text, 255));
    quest->addField(makeHiddenField(QStringLiteral("id_темы"), K::Integer));

    ans->addField(makeHiddenField(QStringLiteral("id_ответа"), K::AutoInc));
    ans->addField(makeField(QStringLiteral("ответ"), K::Text, 25));
    ans->addField(makeHiddenField(QStringLiteral("id_вопроса"), K::Integer));
    ans->addField(makeField(QStringLiteral("статус"), K::Boolean));

    rez->addField(makeHiddenField(QStringLiteral("id_результата"), K::AutoInc));
    rez->addField(makeLookupField(QStringLiteral("Фамилия"), QStringLiteral("id_ученика"), ych,
                                  QStringLiteral("Фамилия"), 10));
    rez->addField(
        makeLookupField(QStringLiteral("Имя"), QStringLiteral("id_ученика"), ych, QStringLiteral("Имя"), 10));
    rez->addField(makeLookupField(QStringLiteral("Класс"), QStringLiteral("id_класса"), klass,
                                  QStringLiteral("класс"), 2));
    rez->addField(
        makeLookupField(QStringLiteral("Тема"), QStringLiteral("id_темы"), tema, QStringLiteral("тема"), 15));
    rez->addField(makeField(QStringLiteral("Дата"), K::DateTime, 9));
    rez->addField(makeField(QStringLiteral("Баллы"), K::Text, 2));
    rez->addField(makeField(QStringLiteral("Оценка"), K::Integer, 2));
    rez->addField(makeHiddenField(QStringLiteral("id_ученика"), K::Integer));
    rez->addField(makeHiddenField(QStringLiteral("id_темы"), K::Integer));
    rez->addField(makeHiddenField(QStringLiteral("id_класса"), K::Integer));

    DataSource1 = new DataSource(QStringLiteral("DataSource1"), ych, this);
    DataSource2 = new DataSource(QStringLiteral("DataSource2"), klass, this);
    DataSource3 = new DataSource(QStringLiteral("DataSource3"), tema, this);
    DataSource4 = new DataSource(QStringLiteral("DataSource4"), quest, this);
    DataSource5 = new DataSource(QStringLiteral("DataSource5"), ans, this);
    DataSource6 = new DataSource(QStringLiteral("DataSource6"), rez, this);

    quest->setMaster(DataSource3, QStringLiteral("id_темы"), QStringLiteral("id_темы"));
    ans->setMaster(DataSource4, QStringLiteral("id_вопроса"), QStringLiteral("id_вопроса"));

    ADOQuery1 = new Query(QStringLiteral("ADOQuery1"), ADOConnection1, this);

    // Windows created before the data module bound their widgets by name; they attach now.
    for (DataSource* source : {DataSource1, DataSource2, DataSource3, DataSource4, DataSource5, DataSource6})
        DataSourceRegistry::instance().add(source);

    if (open == Open::Now)
        openAll();
}

TDataModule11::~TDataModule11() {
    for (DataSource* source : {DataSource1, DataSource2, DataSource3, DataSource4, DataSource5, DataSource6})
        DataSourceRegistry::instance().remove(source);
}

QString TDataModule11::defaultConnectionString() {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=Primer.mdb;"
                          "Mode=Share Deny None;Persist Security Info=False;"
                          "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
                          "Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;"
                          "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
                          "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
                          "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
                          "Jet OLEDB:Don't Copy Locale on Compact=False;"
                          "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

void TDataModule11::openAll() {
    // Each opening stands by itself: a failure is reported and the next one is tried.
    const auto attempt = [](const auto& step) {
        try {
            step();
        } catch (const Failure& f) {
            reportFailure(f.text());
        }
    };
    for (Table* table : {ych, klass, tema, quest, ans, rez})
        attempt([table] { table->open(); });
    attempt([this] { ADOConnection1->open(); });
}

void TDataModule11::openAfterConnect() {
    ADOConnection1->open();
    for (Table* table : {klass, tema, quest, ans, rez, ych})
        table->open();
}
