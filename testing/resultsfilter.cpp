#include "resultsfilter.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "form5.h"

void runResultsFilter() {
    // The pupil's key is read by name: a grid may have moved the column within ych's field list.
    const QVariant key = DataModule11->ych->value(schema::pupilKey);
    if (key.isNull())
        throw Failure(QStringLiteral("Could not convert variant of type (Null) into type (Integer)"));
    const int pupil = key.toInt();

    Table* rez = DataModule11->rez;
    rez->setFilterText(QStringLiteral("id_ученика ='%1'").arg(pupil));
    rez->setFiltered(true);
    Form5->showModeless();
}
