#pragma once
#include <QString>

// True when the first "@" and the first "." both stand after the first
// character. Nothing else is checked (a "." may come before the "@").
bool valid_address(const QString& text);
