#include "datamodule.h"

TDataModule11* DataModule11 = nullptr;
