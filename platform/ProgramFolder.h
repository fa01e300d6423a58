#pragma once

#include <QString>

// The folder of the program file, without a trailing separator; the base of
// every data file, the data folder and the Plugins folder. The environment
// variable BREVANT_HOME names another folder (tests use it).
QString ProgramFolder();
