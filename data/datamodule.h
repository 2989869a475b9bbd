#pragma once

#include <QObject>
#include <QString>

class Connection;
class DataSource;
class Query;
class Table;

// The one gateway to the database: the connection, the six table objects with their field lists, lookups
// and master-detail links, their data sources and the free query. Creating it opens the database, each
// opening attempted by itself and each failure shown by the default failure report.
class TDataModule11 : public QObject {
    Q_OBJECT
public:
    enum class Open { Now, Later };
    explicit TDataModule11(QObject* parent = nullptr, Open open = Open::Now);
    ~TDataModule11() override;

    // The 555-character built-in connection string (Data Source=Primer.mdb).
    static QString defaultConnectionString();

    // Opens the connection (through the first table) and then each table in `order`, reporting each
    // failure and going on; an open table stays open and where it is.
    void openAll();
    // The sign-in window's reconnect: the connection, then klass, tema, quest, ans, rez, ych.
    void openAfterConnect();

    Connection* ADOConnection1 = nullptr;
    Table* ych = nullptr;
    Table* klass = nullptr;
    Table* tema = nullptr;
    Table* quest = nullptr;
    Table* ans = nullptr;
    Table* rez = nullptr;
    DataSource* DataSource1 = nullptr;
    DataSource* DataSource2 = nullptr;
    DataSource* DataSource3 = nullptr;
    DataSource* DataSource4 = nullptr;
    DataSource* DataSource5 = nullptr;
    DataSource* DataSource6 = nullptr;
    Query* ADOQuery1 = nullptr;
};

extern TDataModule11* DataModule11;
