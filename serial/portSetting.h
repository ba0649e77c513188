#pragma once

#include <QString>

// The serial port remembered across runs (value "commsport" of Kestrova/Orbanel in the system's
// settings store). A missing value reads as kDefaultStoredPort.
inline constexpr const char *kDefaultStoredPort = "COM1";

QString ReadStoredPort();
// True when the value reached the store.
bool WriteStoredPort(const QString &name);
