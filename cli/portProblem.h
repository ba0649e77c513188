#pragma once

#include <QString>

// Why a port could not be opened, in words for the user: the port does not exist, another
// program holds it, or the user may not open it (with the usual remedy on Linux).
QString PortOpenProblem(const QString &portName);
